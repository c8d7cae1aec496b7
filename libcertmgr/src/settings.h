// SPDX-License-Identifier: Apache-2.0
// The settings an instance keeps between calls, and the table that applies "name=value" texts to them.
#pragma once

#include "altnames.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string_view>
#include <vector>

namespace certmgr {

enum class PfxFormat {
    Aes256,     // PBES2, PBKDF2 and AES-256-CBC; HMAC-SHA-256 MAC
    TripleDes,  // PBE-SHA1-3DES; SHA-1 MAC: what older Windows, macOS Keychain, Android and Java import
};

struct Settings {
    std::uint32_t validityDays = 365;
    int keyBits = 2048;
    PfxFormat pfxFormat = PfxFormat::Aes256;
    // Set: these names replace the one derived from the common name (an empty list means none).
    std::optional<std::vector<AltName>> altNames;
    bool replaceExisting = true;  // false: an export fails rather than replace an existing file
    // true: the next certificate is a certificate authority that can sign others; false: one for TLS
    // servers and clients, which browsers accept as a web site's certificate.
    bool authority = false;
};

// Applies one "name=value" setting. On a failure the settings stay as they were.
void ApplySetting(Settings& settings, std::string_view text);

// Refuses a certificate valid from `now` for `days` days that would end after 9999-12-31, the last
// date X.509 can hold: the one check of the end, when the validity is set and again when a
// certificate is made.
void CheckEndsInTime(std::time_t now, std::uint32_t days);

}  // namespace certmgr
