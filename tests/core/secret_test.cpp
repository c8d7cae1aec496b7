// SPDX-License-Identifier: Apache-2.0
#include "core/secret.h"
#include "core/certrequest.h"

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

TEST(Secret, WipeSecretsEmptiesThePasswordsAndKeepsTheRest) {
    CertRequest request;
    request.password = std::string(100, 'p');
    request.password = "short";  // the longer value's bytes are still in the buffer
    request.signingPassword = "signing secret";
    request.commonName = "host.example";
    request.outputFile = "out.pfx";
    const char* buffer = request.password.data();
    const std::size_t capacity = request.password.capacity();
    WipeSecrets(request);
    // The same buffer, zero to its end: a clear() alone would leave the bytes for the next owner.
    ASSERT_EQ(request.password.data(), buffer);
    EXPECT_EQ(std::string_view(buffer, capacity), std::string(capacity, '\0'));
    EXPECT_EQ(request.password, "");
    EXPECT_EQ(request.signingPassword, "");
    EXPECT_EQ(request.commonName, "host.example");
    EXPECT_EQ(request.outputFile, "out.pfx");
}

// In a child, so that the test process itself stays dumpable.
TEST(Secret, DisableCoreDumpsLeavesNoCoreAndNoDumpableProcess) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit limit{};
        const bool ok = DisableCoreDumps() && getrlimit(RLIMIT_CORE, &limit) == 0 && limit.rlim_cur == 0 &&
                        limit.rlim_max == 0 && prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
