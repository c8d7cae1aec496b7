// SPDX-License-Identifier: Apache-2.0
#include "cli/password.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace {

enum class LineResult { Line, End, Failed };

// Reads byte by byte so that nothing past the first line is consumed, which matters when
// standard input also carries data for someone else.
LineResult ReadLine(int fd, std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        char c;
        const ssize_t n = read(fd, &c, 1);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return LineResult::Failed;
        }
        if (n == 0) {
            return any ? LineResult::Line : LineResult::End;
        }
        any = true;
        if (c == '\n') {
            break;
        }
        line.push_back(c);
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return LineResult::Line;
}

// A zero byte would silently end the password at the C interface.
bool HoldsZeroByte(const std::string& text) {
    return text.find('\0') != std::string::npos;
}

// The terminal's settings while echo is off, so that an interrupt can put them back.
termios g_savedTerminal;
volatile std::sig_atomic_t g_echoOff = 0;

void RestoreTerminalAndDie(int signal) {
    if (g_echoOff) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedTerminal);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

std::optional<std::string> ReadPasswordFile(const std::string& path, std::string& error) {
    const bool fromStdin = path == "-";
    const int fd = fromStdin ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open the password file '" + path + "': " + std::strerror(errno);
        return std::nullopt;
    }
    std::string line;
    const LineResult result = ReadLine(fd, line);
    const int readErrno = errno;
    if (!fromStdin) {
        close(fd);
    }
    const std::string where = fromStdin ? std::string("standard input") : "'" + path + "'";
    if (result == LineResult::Failed) {
        error = "cannot read the password from " + where + ": " + std::strerror(readErrno);
        return std::nullopt;
    }
    if (HoldsZeroByte(line)) {
        error = "the password in " + where + " holds a zero byte";
        return std::nullopt;
    }
    // An empty file is an empty password, as an empty field on the form is.
    return line;
}

bool StdinIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

std::optional<std::string> PromptPassword(const std::string& prompt, std::string& error) {
    termios terminal;
    if (tcgetattr(STDIN_FILENO, &terminal) != 0) {
        error = std::string("cannot read the terminal's settings: ") + std::strerror(errno);
        return std::nullopt;
    }
    g_savedTerminal = terminal;
    terminal.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL);
    struct sigaction restore {};
    restore.sa_handler = RestoreTerminalAndDie;
    struct sigaction oldInt, oldTerm, oldHup, oldQuit;
    sigaction(SIGINT, &restore, &oldInt);
    sigaction(SIGTERM, &restore, &oldTerm);
    sigaction(SIGHUP, &restore, &oldHup);
    sigaction(SIGQUIT, &restore, &oldQuit);
    // Echo goes off before the prompt shows, so nothing typed after the prompt can echo.
    g_echoOff = 1;
    if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &terminal) != 0) {
        g_echoOff = 0;
        error = std::string("cannot turn off the terminal's echo: ") + std::strerror(errno);
        return std::nullopt;
    }
    const std::string shown = prompt;
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, shown.data(), shown.size());

    std::string line;
    const LineResult result = ReadLine(STDIN_FILENO, line);
    const int readErrno = errno;

    tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedTerminal);
    g_echoOff = 0;
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    sigaction(SIGHUP, &oldHup, nullptr);
    sigaction(SIGQUIT, &oldQuit, nullptr);
    // The Enter that ended the line was not echoed.
    [[maybe_unused]] const ssize_t newline = write(STDERR_FILENO, "\n", 1);

    if (result == LineResult::Failed) {
        error = std::string("cannot read the password: ") + std::strerror(readErrno);
        return std::nullopt;
    }
    if (result == LineResult::End) {
        error = "no password was entered";
        return std::nullopt;
    }
    if (HoldsZeroByte(line)) {
        error = "the password holds a zero byte";
        return std::nullopt;
    }
    return line;
}
