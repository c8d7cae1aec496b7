// SPDX-License-Identifier: Apache-2.0
// Number texts and how every decimal reader of the project must take them: the core's reader of
// the form's fields and the command's options, and the library's reader of setting values.
#pragma once

#include <cstdint>
#include <optional>

struct DecimalCase {
    const char* text;
    std::optional<std::uint64_t> value;  // read with a limit of 4294967295
};

inline constexpr DecimalCase kDecimalCases[] = {
    {"365", 365},
    {"007", 7},
    {"4294967295", 4294967295u},
    {"0", 0},
    {"", std::nullopt},
    {"4294967296", std::nullopt},
    {"99999999999999999999999", std::nullopt},
    {"12a", std::nullopt},
    {"a12", std::nullopt},
    {"-1", std::nullopt},
    {"+1", std::nullopt},
    {" 1", std::nullopt},
    {"1 ", std::nullopt},
    {"1.5", std::nullopt},
    {"\xd9\xa3", std::nullopt},  // ARABIC-INDIC DIGIT THREE
};
