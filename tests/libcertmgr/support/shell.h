// SPDX-License-Identifier: Apache-2.0
// Running the command-line tools that check our files independently (openssl, certtool, pk12util).
#pragma once

#include <string>

namespace certmgr_test {

struct ShellOutcome {
    int status;          // exit status; -1 when the command did not end normally
    std::string output;  // standard output and standard error together
};

// Runs command with /bin/sh.
ShellOutcome Shell(const std::string& command);

// text in single quotes, for the shell; the texts of the tests hold no single quote.
std::string Quote(const std::string& text);

}  // namespace certmgr_test
