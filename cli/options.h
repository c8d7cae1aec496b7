// SPDX-License-Identifier: Apache-2.0
// The command line of ombrel-cli, read into the request of one run.
#pragma once

#include "core/certrequest.h"

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
    // The request with the command's defaults; the passwords are filled in later, from their
    // sources, once the command line is known to be sound.
    CertRequest request;
    PasswordSource password;
    PasswordSource signerPassword;
    bool legacyPfx = false;
    bool authority = false;  // --ca
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

// The settings the options ask for beyond the request's own; empty when none was given.
std::vector<std::string> ExtraSettings(const CliOptions& options);

// The text of --help.
std::string UsageText();
