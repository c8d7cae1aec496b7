// SPDX-License-Identifier: Apache-2.0
// The password prompt on a real terminal: a pseudo-terminal stands in for the keyboard, so
// the test sees exactly what the user would see echoed.
#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace {

const std::string kCli = OMBREL_CLI;
const std::string kOpenssl = OPENSSL_PROGRAM;

// Everything readable on fd now, without waiting.
std::string Drain(int fd) {
    std::string text;
    char buffer[256];
    while (true) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 0) != 1 || !(ready.revents & POLLIN)) {
            return text;
        }
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

// ombrel-cli with a terminal on standard input and a pipe on standard error.
class TerminalRun {
public:
    TerminalRun(const std::vector<std::string>& args, const ScratchDir& dir) {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        const std::string slave = ptsname(m_master);
        int errPipe[2];
        if (pipe2(errPipe, O_CLOEXEC) != 0) {
            throw std::runtime_error("no pipe");
        }
        m_err = errPipe[0];

        std::vector<char*> argv{const_cast<char*>(kCli.c_str())};
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, slave.c_str(), O_RDWR | O_NOCTTY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
        posix_spawn_file_actions_addchdir_np(&actions, dir.Path().c_str());
        const int spawned = posix_spawn(&m_pid, kCli.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(errPipe[1]);
        if (spawned != 0) {
            throw std::runtime_error("cannot start ombrel-cli");
        }
    }
    ~TerminalRun() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            Wait();
        }
        close(m_err);
        close(m_master);
    }

    // Waits until standard error shows text; false after a generous deadline.
    bool WaitFor(const std::string& text) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (m_errText.find(text, m_seen) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd ready{m_err, POLLIN, 0};
            if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) != 1) {
                return false;
            }
            const std::string more = Drain(m_err);
            if (more.empty()) {
                return false;  // ombrel-cli closed standard error: it has ended
            }
            m_errText += more;
        }
        m_seen = m_errText.find(text, m_seen) + text.size();
        return true;
    }
    void Type(const std::string& keys) {
        ASSERT_EQ(write(m_master, keys.data(), keys.size()), ssize_t(keys.size()));
    }

    int Wait() {
        int wstatus = 0;
        while (waitpid(m_pid, &wstatus, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
        m_errText += Drain(m_err);
        return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    }
    // What the terminal showed: echoed keys would be here.
    std::string Screen() { return Drain(m_master); }
    bool EchoOn() {
        termios settings;
        return tcgetattr(m_master, &settings) == 0 && (settings.c_lflag & ECHO);
    }
    const std::string& ErrText() const { return m_errText; }

private:
    int m_master = -1;
    int m_err = -1;
    pid_t m_pid = -1;
    std::string m_errText;
    std::size_t m_seen = 0;
};

struct PromptCase {
    std::string name;
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> dialogue;  // prompt shown, keys typed
    int status;
    std::string errHas;
    std::string opensWith;  // empty: no file is written
};

void PrintTo(const PromptCase& c, std::ostream* os) {
    *os << c.name;
}

class PromptTest : public ::testing::TestWithParam<PromptCase> {
protected:
    ScratchDir dir;
};

const std::vector<std::string> kBase = {"--common-name", "tty.example.test", "--key-length", "1024",
                                        "--out",         "out.pfx"};

std::vector<std::string> With(std::vector<std::string> more) {
    more.insert(more.begin(), kBase.begin(), kBase.end());
    return more;
}

const PromptCase kPromptCases[] = {
    {"NewPasswordAskedTwice",
     kBase,
     {{"Password for 'out.pfx': ", "typed-secret\n"}, {"Repeat the password: ", "typed-secret\n"}},
     0,
     "",
     "typed-secret"},
    {"DifferentRepeat",
     kBase,
     {{"Password for 'out.pfx': ", "typed-one\n"}, {"Repeat the password: ", "typed-two\n"}},
     2,
     "the two passwords differ",
     ""},
    {"StdinAsPasswordFile",
     With({"--password-file", "-"}),
     {{"Password for 'out.pfx': ", "dash-secret\n"}, {"Repeat the password: ", "dash-secret\n"}},
     0,
     "",
     "dash-secret"},
    {"EndOfInput", kBase, {{"Password for 'out.pfx': ", "\x04"}}, 2, "no password was entered", ""},
    {"SigningPasswordAskedOnce",
     With({"--password", "pw", "--signer", "ca.pfx"}),
     {{"Password of 'ca.pfx': ", "ca-typed\n"}},
     0,
     "",
     "pw"},
};

TEST_P(PromptTest, TypedPasswordIsNotEchoed) {
    const PromptCase& c = GetParam();
    ASSERT_EQ(
        RunProgram(
            kCli, {"--ca", "--common-name", "CA", "--key-length", "1024", "--password", "ca-typed", "--out", "ca.pfx"},
            dir)
            .status,
        0);

    TerminalRun run(c.args, dir);
    std::string typed;
    for (const auto& [prompt, keys] : c.dialogue) {
        ASSERT_TRUE(run.WaitFor(prompt)) << run.ErrText();
        run.Type(keys);
        typed += keys;
    }
    EXPECT_EQ(run.Wait(), c.status) << run.ErrText();

    EXPECT_EQ(run.Screen(), "");  // nothing typed came back
    EXPECT_TRUE(run.EchoOn());    // and the terminal is as it was
    EXPECT_NE(run.ErrText().find(c.errHas), std::string::npos) << run.ErrText();
    for (const auto& [prompt, keys] : c.dialogue) {
        if (keys.size() > 1) {
            EXPECT_EQ(run.ErrText().find(keys.substr(0, keys.size() - 1)), std::string::npos)
                << run.ErrText();
        }
    }
    if (c.opensWith.empty()) {
        EXPECT_FALSE(dir.Has("out.pfx"));
    } else {
        EXPECT_EQ(RunProgram(kOpenssl,
                             {"pkcs12", "-in", "out.pfx", "-noout", "-passin", "pass:" + c.opensWith}, dir)
                      .status,
                  0);
    }
}

INSTANTIATE_TEST_SUITE_P(Terminal, PromptTest, ::testing::ValuesIn(kPromptCases),
                         [](const ::testing::TestParamInfo<PromptCase>& info) { return info.param.name; });

}  // namespace
