// SPDX-License-Identifier: Apache-2.0
// A write that fails names the path and the reason, leaves an existing file as it was and leaves no
// temporary file behind.
#include "component.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <ostream>

#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

namespace certmgr_test {
namespace {

constexpr char kOldContent[] = "the earlier file, to be kept";

struct Outcome {
    int32_t result;
    std::string text;
};

Outcome Export(Component& component, const std::string& path) {
    const int32_t result = component.Export(path, "pw");
    return {result, component.Error()};
}

// Root passes every permission check, so the export runs in a child that has given up root.
Outcome ExportWithoutPrivileges(Component& component, const std::string& path, const std::string& folder) {
    if (::geteuid() != 0) {
        ::chmod(folder.c_str(), 0555);
        return Export(component, path);
    }
    int channel[2];
    if (::pipe(channel) != 0) {
        return {0, "pipe failed"};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const bool dropped = ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
        const Outcome outcome = dropped ? Export(component, path) : Outcome{0, "could not drop root"};
        [[maybe_unused]] auto written = ::write(channel[1], outcome.text.data(), outcome.text.size());
        ::_exit(outcome.result != 0 ? 1 : 0);
    }
    ::close(channel[1]);
    std::string text;
    char buffer[512];
    ssize_t got = 0;
    while ((got = ::read(channel[0], buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return {WIFEXITED(status) && WEXITSTATUS(status) == 1 ? 1 : 0, text};
}

// A file system that takes only the first bytes: the process's file size limit, with its signal
// ignored so that the write reports EFBIG instead of ending the process.
Outcome ExportWithSizeLimit(Component& component, const std::string& path) {
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 100;
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    const Outcome outcome = Export(component, path);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    return outcome;
}

struct WriteCase {
    const char* name;
    const char* folder;  // below the test's folder; made unless `makeFolder` is false
    bool makeFolder;
    const char* target;  // below `folder`; "" writes to the folder itself
    bool existingFile;
    std::function<Outcome(Component&, const std::string& path, const std::string& folder)> run;
    std::string reason;
};

// Test names and failure messages show the row by its name.
void PrintTo(const WriteCase& row, std::ostream* out) {
    *out << row.name;
}

class WriteFailureTest : public testing::TestWithParam<WriteCase> {};

TEST_P(WriteFailureTest, KeepsTheOldFileAndLeavesNoTemporaryFile) {
    const WriteCase& row = GetParam();
    TempDir dir;
    const std::string folder = dir.File(row.folder);
    const std::string path = *row.target != '\0' ? folder + "/" + row.target : folder;
    if (row.makeFolder) {
        ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    }
    if (row.existingFile) {
        WriteFileBytes(path, kOldContent);
    }
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(component.CreateSelfSigned("CN=write.example", 1), 0) << component.Error();

    const Outcome outcome = row.run(component, path, folder);
    ::chmod(folder.c_str(), 0755);

    EXPECT_NE(outcome.result, 0);
    EXPECT_NE(outcome.text.find(path), std::string::npos) << outcome.text;
    EXPECT_NE(outcome.text.find(row.reason), std::string::npos) << outcome.text;
    if (row.existingFile) {
        EXPECT_EQ(ReadFileBytes(path), kOldContent);
    }
    if (row.makeFolder) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        EXPECT_EQ(names, row.existingFile && *row.target != '\0' ? std::vector<std::string>{row.target}
                                                                 : std::vector<std::string>{});
    }
}

const auto kPlain = [](Component& c, const std::string& path, const std::string&) { return Export(c, path); };

INSTANTIATE_TEST_SUITE_P(
    CertMgr, WriteFailureTest,
    testing::Values(WriteCase{"MissingFolder", "missing", false, "out.pfx", false, kPlain, "does not exist"},
                    WriteCase{"PathIsAFolder", "folder", true, "", false, kPlain, "is a folder"},
                    WriteCase{"ReadOnlyFolder", "readonly", true, "out.pfx", true,
                              [](Component& c, const std::string& path, const std::string& folder) {
                                  return ExportWithoutPrivileges(c, path, folder);
                              },
                              "permission denied"},
                    WriteCase{"DiskTakesOnlyTheFirstBytes", "small", true, "out.pfx", true,
                              [](Component& c, const std::string& path, const std::string&) {
                                  return ExportWithSizeLimit(c, path);
                              },
                              "largest file size"}),
    [](const testing::TestParamInfo<WriteCase>& info) { return info.param.name; });

}  // namespace
}  // namespace certmgr_test
