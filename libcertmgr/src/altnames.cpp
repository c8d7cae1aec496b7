// SPDX-License-Identifier: Apache-2.0
#include "altnames.h"

#include "errors.h"
#include "textutil.h"

#include <arpa/inet.h>
#include <idn2.h>

#include <algorithm>
#include <memory>

namespace certmgr {

namespace {

// Underscores are outside the host-name syntax, but internal hosts carry them and clients match them:
// Firefox's and Go's certificate checks take them on purpose, OpenSSL and GnuTLS compare the bytes.
bool IsHostChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

bool IsLabel(std::string_view label) {
    return !label.empty() && label.size() <= 63 && label.front() != '-' && label.back() != '-' &&
           std::all_of(label.begin(), label.end(), IsHostChar);
}

bool IsHostName(std::string_view name) {
    if (name.empty() || name.size() > 253) {
        return false;
    }
    // A wildcard stands for the whole leftmost label, above at least two more: "*.com" would claim
    // every host of a top-level domain, and clients refuse it.
    const bool wildcard = name.substr(0, 2) == "*.";
    if (wildcard) {
        name.remove_prefix(2);
    }
    std::size_t labels = 0;
    std::string_view lastLabel;
    std::size_t start = 0;
    while (true) {
        const auto dot = name.find('.', start);
        const auto label =
            name.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (!IsLabel(label)) {
            return false;
        }
        ++labels;
        lastLabel = label;
        if (dot == std::string_view::npos) {
            break;
        }
        start = dot + 1;
    }
    if (wildcard && labels < 2) {
        return false;
    }
    // A name whose last label is all digits would read as an address, and a broken one ("10.0.0").
    return !std::all_of(lastLabel.begin(), lastLabel.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A host name in any script as clients look it up and certificates must carry it: each label mapped
// (UTS #46, non-transitional, so "ß" stays itself) and in its ASCII "xn--" form (IDNA2008). Nothing when
// the name cannot be one. "*." stays in front: it is no label of the name.
std::optional<std::string> ToAsciiHostName(std::string_view text) {
    // Four bytes a character at most, and 253 characters once converted: a longer text is no host name
    // and not worth the conversion.
    if (text.size() > 4 * 253) {
        return std::nullopt;
    }
    const bool wildcard = text.substr(0, 2) == "*.";
    const std::string name(wildcard ? text.substr(2) : text);
    char* converted = nullptr;
    if (idn2_to_ascii_8z(name.c_str(), &converted, IDN2_NONTRANSITIONAL | IDN2_NFC_INPUT) != IDN2_OK) {
        return std::nullopt;
    }
    const std::unique_ptr<char, decltype(&idn2_free)> owned(converted, idn2_free);
    return (wildcard ? "*." : "") + std::string(converted);
}

}  // namespace

std::optional<AltName> AltNameOf(std::string_view text) {
    if (!IsAscii(text)) {
        const auto ascii = ToAsciiHostName(text);
        if (!ascii || !IsHostName(*ascii)) {
            return std::nullopt;
        }
        return AltName{AltName::Kind::Dns, *ascii};
    }
    // inet_pton needs a terminated text; an address is short, so anything longer is no address.
    if (text.size() < 64) {
        const std::string terminated(text);
        unsigned char address[16];
        if (inet_pton(AF_INET, terminated.c_str(), address) == 1) {
            return AltName{AltName::Kind::Ip, std::string(reinterpret_cast<char*>(address), 4)};
        }
        if (inet_pton(AF_INET6, terminated.c_str(), address) == 1) {
            return AltName{AltName::Kind::Ip, std::string(reinterpret_cast<char*>(address), 16)};
        }
    }
    if (IsHostName(text)) {
        return AltName{AltName::Kind::Dns, std::string(text)};
    }
    return std::nullopt;
}

std::vector<AltName> ParseAltNameList(std::string_view list, std::string_view settingName) {
    std::vector<AltName> names;
    if (TrimBlanks(list).empty()) {
        return names;
    }
    std::size_t start = 0;
    while (true) {
        const auto comma = list.find(',', start);
        const auto entry = TrimBlanks(
            list.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (entry.empty()) {
            Fail(std::string(settingName) + " has an empty entry; separate names with single commas.");
        }
        auto name = AltNameOf(entry);
        if (!name) {
            Fail(
                std::string(settingName) + ": " + Quoted(std::string(entry)) +
                " is neither a DNS name nor an IPv4 or IPv6 address. A DNS name is labels of letters, digits,"
                " hyphens and underscores, joined by dots, each of 1 to 63 characters that neither starts nor"
                " ends with a hyphen, at most 253 characters in all once names in other scripts take their"
                " \"xn--\" form; \"*.\" may stand first, before at least two labels.");
        }
        names.push_back(std::move(*name));
        if (comma == std::string_view::npos) {
            break;
        }
        start = comma + 1;
    }
    return names;
}

}  // namespace certmgr
