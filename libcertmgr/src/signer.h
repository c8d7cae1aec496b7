// SPDX-License-Identifier: Apache-2.0
// What makes a loaded certificate fit to sign others: it is a CA, may sign certificates, is in date,
// is signed by the issuer the file holds, and allows the names of what it is asked to issue.
#pragma once

#include "identity.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace certmgr {

// The certificates of `certs` that issued `signer`, then their issuers, each once, from the signer's
// issuer upwards; others in `certs` are left out. When the file holds the signer's issuer (or the
// signer is self-signed), the signer's signature must verify with that issuer's key. `file` is the
// quoted path, for messages.
X509StackPtr IssuersOf(X509* signer, STACK_OF(X509) * certs, const std::string& file);

// Refuses a signing certificate that may not sign (not a CA by OpenSSL's test, key usage without
// certificate signing) or is out of date. `file` names where it came from, for the messages.
void CheckCanSign(X509* cert, const std::string& file);

// Refuses what the signer may not issue: a certificate with its own serial number, and one valid
// from `now` for `days` days that would outlive it.
void CheckCanIssue(const Identity& signer, const ASN1_INTEGER* serial, std::time_t now, std::uint32_t days);

// The path length of a certificate authority issued by `signer`: one less than what the signer and the
// authorities above it still allow, or none when none of them limits it. Refuses when they allow no
// further authority.
std::optional<long> PathLengthBelow(const Identity& signer);

// Refuses the names of `names` (a certificate with the subject and alternative names to be issued)
// that the name constraints of the signer or of its issuers do not allow, naming the first such
// name, as OpenSSL's verifier checks them: the subject, each alternative name, and the common name
// as a host name when there is no DNS alternative name.
void CheckNamesAllowed(X509* names, const Identity& signer);

}  // namespace certmgr
