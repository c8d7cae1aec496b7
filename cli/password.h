// SPDX-License-Identifier: Apache-2.0
// Getting passwords without putting them on the command line.
#pragma once

#include <optional>
#include <string>

// The first line of the file without its line end ("\n" or "\r\n"); "-" reads standard
// input. Returns nothing and sets error when the file cannot be read.
std::optional<std::string> ReadPasswordFile(const std::string& path, std::string& error);

bool StdinIsTerminal();

// Shows the prompt on standard error and reads one line from the terminal on standard
// input with echo off. Returns nothing and sets error on end of input or a read error.
std::optional<std::string> PromptPassword(const std::string& prompt, std::string& error);
