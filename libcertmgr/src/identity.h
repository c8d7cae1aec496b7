// SPDX-License-Identifier: Apache-2.0
// A certificate with its private key and the certificates above it.
#pragma once

#include "ossl.h"

namespace certmgr {

struct Identity {
    X509Ptr cert;
    EvpPkeyPtr key;
    X509StackPtr chain;  // issuer first, then up towards the root; may be empty, never null once made
};

// A new stack holding references to the certificates of `certs`, or throws on lack of memory.
X509StackPtr ShareCertificates(const STACK_OF(X509) * certs);

}  // namespace certmgr
