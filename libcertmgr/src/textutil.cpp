// SPDX-License-Identifier: Apache-2.0
#include "textutil.h"

namespace certmgr {

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

namespace {

// Calls visit with each character of a UTF-8 text until it returns false. False when the text is
// not UTF-8.
template <typename Visit>
bool ForEachCharacter(std::string_view text, Visit visit) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (extra > text.size() - i - 1) {
            return false;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past Unicode are not UTF-8.
        static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (code < kMinimum[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
        if (!visit(code)) {
            break;
        }
    }
    return true;
}

std::optional<HiddenKind> HiddenKindOf(char32_t code) {
    if (code <= 0x1F || (code >= 0x7F && code <= 0x9F)) {
        return HiddenKind::Control;
    }
    if ((code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069)) {
        return HiddenKind::Bidirectional;
    }
    if ((code >= 0x200B && code <= 0x200D) || code == 0xFEFF) {
        return HiddenKind::ZeroWidth;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::size_t> Utf8Length(std::string_view text) {
    std::size_t count = 0;
    if (!ForEachCharacter(text, [&count](char32_t) {
            ++count;
            return true;
        })) {
        return std::nullopt;
    }
    return count;
}

std::optional<HiddenCharacter> FirstHiddenCharacter(std::string_view text) {
    std::optional<HiddenCharacter> found;
    ForEachCharacter(text, [&found](char32_t code) {
        if (const auto kind = HiddenKindOf(code)) {
            found = HiddenCharacter{code, *kind};
        }
        return !found;
    });
    return found;
}

std::optional<unsigned long long> ParseDecimal(std::string_view text, unsigned long long limit) {
    if (text.empty()) {
        return std::nullopt;
    }
    unsigned long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const auto digit = static_cast<unsigned long long>(c - '0');
        if (value > (limit - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace certmgr
