// SPDX-License-Identifier: Apache-2.0
// Getting passwords without putting them on the command line.
#pragma once

#include <optional>
#include <string>

// The first line of the file without its line end ("\n" or "\r\n") and without a leading UTF-8
// byte order mark; "-" reads standard input. At most 4096 bytes are taken for the line. Returns
// nothing and sets error when the file cannot be read, when its first line is longer, or when the
// line holds a zero byte. The caller wipes the password when done (WipeString).
std::optional<std::string> ReadPasswordFile(const std::string& path, std::string& error);

bool StdinIsTerminal();

// Shows the prompt on standard error and reads one line of at most 4096 bytes from the
// terminal on standard input with echo off. Returns nothing and sets error on end of input, a
// longer line or a read error.
std::optional<std::string> PromptPassword(const std::string& prompt, std::string& error);
