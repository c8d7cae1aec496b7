// SPDX-License-Identifier: Apache-2.0
// Writing the output .pfx and reading the signing .pfx.
#pragma once

#include "context.h"
#include "identity.h"
#include "settings.h"

#include <string>

namespace certmgr {

// The DER bytes of a PKCS #12 file holding the identity's key, certificate and chain, protected by
// the password (UTF-8, may be empty), with the friendly name on the key and the certificate.
std::string EncodePkcs12(OSSL_LIB_CTX* libctx, PfxFormat format, const char* password,
                         const std::string& friendlyName, const Identity& identity);

// Reads a signing identity: the private key, the certificate that matches it, and as its chain the
// certificates of the file that issued it (see IssuersOf). Throws a Failure telling a wrong password
// (whose result is CERTMGR_WRONG_PASSWORD) from a damaged or unsupported file. Does not check whether
// the certificate may sign; see CheckCanSign.
Identity DecodePkcs12(const CryptoContext& context, const std::string& der, const std::string& path,
                      const char* password);

}  // namespace certmgr
