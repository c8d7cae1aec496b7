// SPDX-License-Identifier: Apache-2.0
// The command line of ombrel-cli, read into the values of one run.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Where one password comes from. With neither a text nor a file, the user is asked when
// standard input is a terminal.
struct PasswordSource {
    std::optional<std::string> text;
    std::optional<std::string> file;  // "-" is standard input
    bool Given() const { return text || file; }
};

struct CliOptions {
    // Control texts by control number, with the form's defaults.
    std::map<int, std::string> texts;
    std::int32_t keyLengthPosition = 1;
    PasswordSource password;
    PasswordSource signerPassword;
    bool legacyPfx = false;
    std::vector<std::string> subjectAltNames;
    bool force = false;
    bool help = false;
    bool version = false;
};

// Either the options, or why the command line is wrong.
struct ParseResult {
    CliOptions options;
    std::string error;
};

ParseResult ParseCommandLine(int argc, char* argv[]);

// The extra settings the options ask for; empty when none of the extras was given.
std::vector<std::string> ExtraSettings(const CliOptions& options);

// The text of --help.
std::string UsageText();
