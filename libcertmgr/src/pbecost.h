// SPDX-License-Identifier: Apache-2.0
// What the password-based key derivations of a PKCS #12 file would cost, read from their parameters
// before any of them runs: a file can ask for billions of iterations, which would keep a call busy
// for minutes only to say the password is wrong.
#pragma once

#include "ossl.h"

#include <cstdint>
#include <string>

namespace certmgr {

// Ten million iterations already take seconds; real files use a few thousand, rarely a million.
inline constexpr std::int64_t kMostIterations = 10'000'000;

// Refuses a MAC whose iteration count is above kMostIterations (or below 1). `file` is quoted.
void CheckMacCost(const PKCS12* p12, const std::string& file);

// Refuses an encryption whose key derivation asks for more than kMostIterations iterations (or the
// like in scrypt's terms). `what` names the protected part in messages, for example "its private
// key". Algorithms it does not know pass: OpenSSL refuses those before deriving anything.
void CheckDecryptionCost(const X509_ALGOR* algorithm, const std::string& what, const std::string& file);

}  // namespace certmgr
