// SPDX-License-Identifier: Apache-2.0
// What an export may replace: only a regular file or a symbolic link (the link, never what it points
// to), never the signing file, and nothing at all with ReplaceExisting=0, even when two processes
// race for one name.
#include "component.h"
#include "pfx.h"
#include "signers.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <functional>
#include <ostream>
#include <set>

namespace certmgr_test {
namespace {

constexpr char kOld[] = "the earlier file, to be kept";
constexpr char kPassword[] = "pw";

// What a row leaves in its folder, besides the files it made itself.
struct Scene {
    std::string path;                           // exported to
    std::function<void(const TempDir&)> check;  // the state the row expects afterwards
};

struct TargetCase {
    const char* name;
    const char* replace;  // the ReplaceExisting value
    std::function<Scene(Component&, const TempDir&)> prepare;
    const char* failure;  // part of the error text; "" when the export succeeds
};

void PrintTo(const TargetCase& row, std::ostream* out) {
    *out << row.name;
}

bool IsRegular(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool Opens(const std::string& path) {
    return IsRegular(path) && OpenPfx(path, kPassword).has_value();
}

std::function<void(const TempDir&)> Holds(std::string name, std::string content) {
    return [name, content](const TempDir& dir) { EXPECT_EQ(ReadFileBytes(dir.File(name)), content) << name; };
}

// The signing file, copied into the row's folder and loaded from there.
std::string LoadSigner(Component& component, const TempDir& dir) {
    const std::string path = dir.File("ca.pfx");
    WriteFileBytes(path, ReadFileBytes(SignerFile(SignerKind::Aes256)));
    EXPECT_EQ(component.Load(path, kSignerPassword), 0) << component.Error();
    return path;
}

const std::vector<TargetCase>& Cases() {
    static const std::vector<TargetCase> cases = {
        {"NewFileWithoutReplace", "0",
         [](Component&, const TempDir& dir) {
             return Scene{dir.File("out.pfx"),
                          [](const TempDir& d) { EXPECT_TRUE(Opens(d.File("out.pfx"))); }};
         },
         ""},
        {"RegularFileReplaced", "1",
         [](Component&, const TempDir& dir) {
             WriteFileBytes(dir.File("out.pfx"), kOld);
             return Scene{dir.File("out.pfx"),
                          [](const TempDir& d) { EXPECT_TRUE(Opens(d.File("out.pfx"))); }};
         },
         ""},
        {"RegularFileWithoutReplace", "0",
         [](Component&, const TempDir& dir) {
             WriteFileBytes(dir.File("out.pfx"), kOld);
             return Scene{dir.File("out.pfx"), Holds("out.pfx", kOld)};
         },
         "already exists"},
        {"Fifo", "1",
         [](Component&, const TempDir& dir) {
             EXPECT_EQ(::mkfifo(dir.File("out.pfx").c_str(), 0600), 0);
             return Scene{dir.File("out.pfx"), [](const TempDir& d) {
                              struct stat info {};
                              EXPECT_EQ(::lstat(d.File("out.pfx").c_str(), &info), 0);
                              EXPECT_TRUE(S_ISFIFO(info.st_mode));
                          }};
         },
         "named pipe (FIFO), not a regular file"},
        {"Socket", "1",
         [](Component&, const TempDir& dir) {
             const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             dir.File("out.pfx").copy(address.sun_path, sizeof address.sun_path - 1);
             EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
             ::close(fd);
             return Scene{dir.File("out.pfx"),
                          [](const TempDir& d) { EXPECT_FALSE(IsRegular(d.File("out.pfx"))); }};
         },
         "a socket, not a regular file"},
        // A device node of our own rather than /dev/null: a regression must not break the machine.
        {"Device", "1",
         [](Component&, const TempDir& dir) {
             if (::mknod(dir.File("out.pfx").c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0) {
                 return Scene{"", nullptr};  // no right to make devices here
             }
             return Scene{dir.File("out.pfx"), [](const TempDir& d) {
                              struct stat info {};
                              EXPECT_EQ(::lstat(d.File("out.pfx").c_str(), &info), 0);
                              EXPECT_TRUE(S_ISCHR(info.st_mode));
                          }};
         },
         "a device, not a regular file"},
        {"Folder", "1",
         [](Component&, const TempDir& dir) {
             EXPECT_EQ(::mkdir(dir.File("out.pfx").c_str(), 0700), 0);
             return Scene{dir.File("out.pfx"), [](const TempDir& d) {
                              EXPECT_TRUE(std::filesystem::is_directory(d.File("out.pfx")));
                          }};
         },
         "is a folder"},
        {"SigningFileItself", "1",
         [](Component& c, const TempDir& dir) {
             const std::string signer = LoadSigner(c, dir);
             return Scene{signer, Holds("ca.pfx", ReadFileBytes(SignerFile(SignerKind::Aes256)))};
         },
         "signing certificate file"},
        {"SigningFileUnderAnotherName", "1",
         [](Component& c, const TempDir& dir) {
             const std::string signer = LoadSigner(c, dir);
             EXPECT_EQ(::link(signer.c_str(), dir.File("other.pfx").c_str()), 0);
             return Scene{dir.File("other.pfx"),
                          Holds("ca.pfx", ReadFileBytes(SignerFile(SignerKind::Aes256)))};
         },
         "signing certificate file"},
        {"SymbolicLinkReplacedNotFollowed", "1",
         [](Component&, const TempDir& dir) {
             WriteFileBytes(dir.File("target.pfx"), kOld);
             EXPECT_EQ(::symlink("target.pfx", dir.File("out.pfx").c_str()), 0);
             return Scene{dir.File("out.pfx"), [](const TempDir& d) {
                              EXPECT_TRUE(Opens(d.File("out.pfx")));
                              EXPECT_EQ(ReadFileBytes(d.File("target.pfx")), kOld);
                          }};
         },
         ""},
        {"SymbolicLinkToTheSigningFile", "1",
         [](Component& c, const TempDir& dir) {
             LoadSigner(c, dir);
             EXPECT_EQ(::symlink("ca.pfx", dir.File("out.pfx").c_str()), 0);
             return Scene{dir.File("out.pfx"), [](const TempDir& d) {
                              EXPECT_TRUE(Opens(d.File("out.pfx")));
                              EXPECT_EQ(ReadFileBytes(d.File("ca.pfx")),
                                        ReadFileBytes(SignerFile(SignerKind::Aes256)));
                          }};
         },
         ""},
        {"SymbolicLinkWithoutReplace", "0",
         [](Component&, const TempDir& dir) {
             EXPECT_EQ(::symlink("target.pfx", dir.File("out.pfx").c_str()), 0);
             return Scene{dir.File("out.pfx"), [](const TempDir& d) {
                              EXPECT_TRUE(std::filesystem::is_symlink(d.File("out.pfx")));
                              EXPECT_FALSE(std::filesystem::exists(d.File("target.pfx")));
                          }};
         },
         "already exists"},
    };
    return cases;
}

class OutputTargetTest : public testing::TestWithParam<TargetCase> {};

TEST_P(OutputTargetTest, ReplacesOnlyWhatItMay) {
    const TargetCase& row = GetParam();
    TempDir dir;
    Component component;
    ASSERT_EQ(component.Apply("CertKeyLength=512"), 0);
    ASSERT_EQ(component.Apply(std::string(CERTMGR_SETTING_REPLACE_EXISTING) + "=" + row.replace), 0)
        << component.Error();
    ASSERT_EQ(component.CreateSelfSigned("CN=target.example", 1), 0) << component.Error();
    const Scene scene = row.prepare(component, dir);
    if (scene.path.empty()) {
        GTEST_SKIP() << "this row needs the right to make device nodes";
    }
    const std::set<std::string> before = [&] {
        const auto names = dir.Names();
        return std::set<std::string>(names.begin(), names.end());
    }();

    const int32_t result = component.Export(scene.path, kPassword);

    if (*row.failure == '\0') {
        EXPECT_EQ(result, 0) << component.Error();
    } else {
        EXPECT_NE(result, 0);
        EXPECT_NE(component.Error().find(scene.path), std::string::npos) << component.Error();
        EXPECT_NE(component.Error().find(row.failure), std::string::npos) << component.Error();
    }
    scene.check(dir);
    // No temporary file stays behind, whatever the outcome.
    for (const std::string& name : dir.Names()) {
        EXPECT_TRUE(before.contains(name) || dir.File(name) == scene.path) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(CertMgr, OutputTargetTest, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<TargetCase>& info) { return info.param.name; });

// Makes renameat2 fail with ENOSYS in this process, as on a kernel or file system without it, so
// that the hard-link way is taken.
bool WithoutRenameat2() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_renameat2, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// Child exit codes.
enum : int { kWon = 0, kFoundItTaken = 1, kOtherFailure = 2, kNoFilter = 3 };

pid_t StartWriter(Component& component, const std::string& path, const std::string& password, int go,
                  bool withoutRenameat2) {
    const pid_t child = ::fork();
    if (child != 0) {
        return child;
    }
    if (withoutRenameat2 && !WithoutRenameat2()) {
        ::_exit(kNoFilter);
    }
    char start = 0;
    if (::read(go, &start, 1) != 1) {
        ::_exit(kOtherFailure);
    }
    if (component.Export(path, password) == 0) {
        ::_exit(kWon);
    }
    ::_exit(component.Error().find("already exists") != std::string::npos ? kFoundItTaken : kOtherFailure);
}

int ExitCode(pid_t child) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class NoReplaceRaceTest : public testing::TestWithParam<bool> {};

TEST_P(NoReplaceRaceTest, ExactlyOneOfTwoProcessesWritesTheFile) {
    const bool withoutRenameat2 = GetParam();
    TempDir dir;
    Component first;
    Component second;
    for (Component* c : {&first, &second}) {
        ASSERT_EQ(c->Apply("CertKeyLength=512"), 0);
        ASSERT_EQ(c->Apply(std::string(CERTMGR_SETTING_REPLACE_EXISTING) + "=0"), 0);
        ASSERT_EQ(c->CreateSelfSigned("CN=race.example", 1), 0) << c->Error();
    }
    std::set<std::string> made;
    for (int round = 0; round < 8; ++round) {
        const std::string name = "race-" + std::to_string(round) + ".pfx";
        const std::string path = dir.File(name);
        int go[2];
        ASSERT_EQ(::pipe(go), 0);
        const pid_t a = StartWriter(first, path, "first-pw", go[0], withoutRenameat2);
        const pid_t b = StartWriter(second, path, "second-pw", go[0], withoutRenameat2);
        ::close(go[0]);
        ASSERT_EQ(::write(go[1], "gg", 2), 2);  // both start at once
        ::close(go[1]);
        const int codeA = ExitCode(a);
        const int codeB = ExitCode(b);
        if (codeA == kNoFilter || codeB == kNoFilter) {
            GTEST_SKIP() << "a seccomp filter cannot be installed here";
        }
        ASSERT_EQ(std::multiset<int>({codeA, codeB}), std::multiset<int>({kWon, kFoundItTaken}))
            << "round " << round;
        const std::string winner = codeA == kWon ? "first-pw" : "second-pw";
        const std::string loser = codeA == kWon ? "second-pw" : "first-pw";
        EXPECT_TRUE(OpenPfx(path, winner).has_value()) << "round " << round;
        EXPECT_FALSE(OpenPfx(path, loser).has_value()) << "round " << round;
        made.insert(name);
    }
    const auto names = dir.Names();
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), made);
}

INSTANTIATE_TEST_SUITE_P(CertMgr, NoReplaceRaceTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "HardLinkWithoutRenameat2" : "Renameat2";
                         });

}  // namespace
}  // namespace certmgr_test
