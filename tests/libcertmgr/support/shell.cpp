// SPDX-License-Identifier: Apache-2.0
#include "shell.h"

#include <sys/wait.h>

#include <cstdio>

namespace certmgr_test {

ShellOutcome Shell(const std::string& command) {
    ShellOutcome run{-1, {}};
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        run.output += buffer;
    }
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string Quote(const std::string& text) {
    return "'" + text + "'";
}

}  // namespace certmgr_test
