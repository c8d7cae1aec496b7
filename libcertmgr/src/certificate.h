// SPDX-License-Identifier: Apache-2.0
// Builds and signs a version 3 certificate for a new key.
#pragma once

#include "identity.h"
#include "settings.h"
#include "subject.h"

#include <cstdint>
#include <ctime>
#include <string>

namespace certmgr {

// A certificate for TLS servers and clients, or with the authority setting a certificate authority that
// can sign others; self-signed when `issuer` is null, otherwise signed by the issuer's key. Valid from
// five minutes before `now`, for clients whose clocks are a little behind, until `now` plus the days.
X509Ptr BuildCertificate(OSSL_LIB_CTX* libctx, const Subject& subject, const ASN1_INTEGER* serial,
                         std::time_t now, const Settings& settings, EVP_PKEY* key, const Identity* issuer);

// The serial number asked for, or for 0 a random positive one of at most 127 bits from the context's
// generator: unique enough that no two certificates of one issuer share it.
Asn1IntegerPtr ChooseSerial(OSSL_LIB_CTX* libctx, std::uint32_t requested);

// The chain an issued certificate travels with: its issuer, then the issuer's own chain.
X509StackPtr ChainFrom(const Identity& issuer);

// An unsigned certificate with only the subject and the alternative names that BuildCertificate would
// give it: enough to check the names against a signer's constraints before a key is made for them.
X509Ptr NamesOnly(const Subject& subject, const Settings& settings);

}  // namespace certmgr
