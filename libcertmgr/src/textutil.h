// SPDX-License-Identifier: Apache-2.0
// Small text helpers shared by the parsers.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace certmgr {

std::string_view TrimBlanks(std::string_view text);

// The number of characters in a UTF-8 text, or nothing when the text is not valid UTF-8.
std::optional<std::size_t> Utf8Length(std::string_view text);

// Characters that show as nothing, or change how the text around them shows: C0 and C1 controls, DEL,
// the bidirectional controls and the zero-width characters.
enum class HiddenKind { Control, Bidirectional, ZeroWidth };
struct HiddenCharacter {
    char32_t code;
    HiddenKind kind;
};

// The first such character of a UTF-8 text; nothing when it has none or is not UTF-8.
std::optional<HiddenCharacter> FirstHiddenCharacter(std::string_view text);

// An unsigned decimal number of digits only, or nothing when it is not one or exceeds the limit. The
// same rule as the core's reader of the form's numbers; both are held to one table of cases.
std::optional<unsigned long long> ParseDecimal(std::string_view text, unsigned long long limit);

}  // namespace certmgr
