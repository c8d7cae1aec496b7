// SPDX-License-Identifier: Apache-2.0
// Builds and signs a version 3 certificate for a new key.
#pragma once

#include "identity.h"
#include "settings.h"
#include "subject.h"

#include <cstdint>
#include <string>

namespace certmgr {

// Self-signed when `issuer` is null: a CA certificate, so that it can later sign certificates itself.
// Otherwise an end-entity certificate for servers and clients, signed by the issuer's key.
X509Ptr BuildCertificate(OSSL_LIB_CTX* libctx, const Subject& subject, std::uint32_t serial,
                         const Settings& settings, EVP_PKEY* key, const Identity* issuer);

// Refuses a serial number of 0 and a validity that ends after 9999-12-31, before a key is made for them.
void CheckSerialAndValidity(std::uint32_t serial, const Settings& settings);

// The chain an issued certificate travels with: its issuer, then the issuer's own chain.
X509StackPtr ChainFrom(const Identity& issuer);

// An unsigned certificate with only the subject and the alternative names that BuildCertificate would
// give it: enough to check the names against a signer's constraints before a key is made for them.
X509Ptr NamesOnly(const Subject& subject, const Settings& settings);

}  // namespace certmgr
