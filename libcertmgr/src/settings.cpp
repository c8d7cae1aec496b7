// SPDX-License-Identifier: Apache-2.0
#include "settings.h"

#include "errors.h"
#include "textutil.h"

#include <certmgr.h>

#include <string>

namespace certmgr {

namespace {

// 9999-12-31T23:59:59Z: GeneralizedTime has four digits for the year.
constexpr long long kLastSecond = 253402300799LL;

using Apply = void (*)(Settings&, std::string_view name, std::string_view value);

void ApplyValidity(Settings& settings, std::string_view name, std::string_view value) {
    const auto days = ParseDecimal(value, 4294967295ULL);
    if (!days || *days == 0) {
        Fail(std::string(name) + " must be a whole number of days, 1 or more, not " +
             Quoted(std::string(value)) + ".");
    }
    const auto validDays = static_cast<std::uint32_t>(*days);
    CheckEndsInTime(std::time(nullptr), validDays);
    settings.validityDays = validDays;
}

void ApplyKeyLength(Settings& settings, std::string_view name, std::string_view value) {
    const auto bits = ParseDecimal(value, 8192);
    if (!bits || *bits < 512) {
        Fail(std::string(name) + " must be an RSA key length from 512 to 8192 bits, not " +
             Quoted(std::string(value)) + ".");
    }
    settings.keyBits = static_cast<int>(*bits);
}

void ApplyPfxEncryption(Settings& settings, std::string_view name, std::string_view value) {
    if (value == "AES256") {
        settings.pfxFormat = PfxFormat::Aes256;
    } else if (value == "3DES") {
        settings.pfxFormat = PfxFormat::TripleDes;
    } else {
        Fail(std::string(name) + " must be AES256 or 3DES, not " + Quoted(std::string(value)) + ".");
    }
}

void ApplyAltNames(Settings& settings, std::string_view name, std::string_view value) {
    if (TrimBlanks(value).empty()) {
        settings.altNames.reset();
    } else {
        settings.altNames = ParseAltNameList(value, name);
    }
}

void ApplyReplaceExisting(Settings& settings, std::string_view name, std::string_view value) {
    if (value != "0" && value != "1") {
        Fail(std::string(name) + " must be 1 or 0, not " + Quoted(std::string(value)) + ".");
    }
    settings.replaceExisting = value == "1";
}

void ApplyAuthority(Settings& settings, std::string_view name, std::string_view value) {
    if (value != "0" && value != "1") {
        Fail(std::string(name) +
             " must be 1 (the certificate can sign other certificates) or 0 (it cannot), not " +
             Quoted(std::string(value)) + ".");
    }
    settings.authority = value == "1";
}

struct Row {
    std::string_view name;
    Apply apply;
};

constexpr Row kSettings[] = {
    {CERTMGR_SETTING_VALIDITY_DAYS, ApplyValidity},
    {CERTMGR_SETTING_KEY_LENGTH, ApplyKeyLength},
    {CERTMGR_SETTING_PFX_ENCRYPTION, ApplyPfxEncryption},
    {CERTMGR_SETTING_SUBJECT_ALT_NAMES, ApplyAltNames},
    {CERTMGR_SETTING_REPLACE_EXISTING, ApplyReplaceExisting},
    {CERTMGR_SETTING_AUTHORITY, ApplyAuthority},
};

}  // namespace

void CheckEndsInTime(std::time_t now, std::uint32_t days) {
    if (static_cast<long long>(now) + static_cast<long long>(days) * 86400LL > kLastSecond) {
        Fail(std::string(CERTMGR_SETTING_VALIDITY_DAYS) + " of " + std::to_string(days) +
             " days would end the certificate after 9999-12-31, the last date a certificate can hold.");
    }
}

void ApplySetting(Settings& settings, std::string_view text) {
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) {
        Fail("The setting " + Quoted(std::string(text)) + " is not of the form name=value.");
    }
    const auto name = text.substr(0, equals);
    for (const Row& row : kSettings) {
        if (row.name == name) {
            // Work on a copy, so that a refused value leaves the earlier one in place.
            Settings updated = settings;
            row.apply(updated, name, text.substr(equals + 1));
            settings = std::move(updated);
            return;
        }
    }
    std::string known;
    for (const Row& row : kSettings) {
        known += known.empty() ? "" : ", ";
        known += row.name;
    }
    Fail("The setting " + Quoted(std::string(name)) + " is unknown; known settings are " + known + ".");
}

}  // namespace certmgr
