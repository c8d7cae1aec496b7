// SPDX-License-Identifier: Apache-2.0
#include "cli/password.h"

#include "core/secret.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>

namespace {

// A password is a line, not a file's worth: nothing longer is read, so that a wrong path such as
// /dev/zero fails at once instead of filling the memory.
constexpr std::size_t kLongestPassword = 4096;
// One byte more than the longest line, to tell a line that ends there from one that goes on.
constexpr std::size_t kReadLimit = kLongestPassword + 1;

// The bytes read, wiped when they go.
class WipedBuffer {
public:
    WipedBuffer() = default;
    ~WipedBuffer() { explicit_bzero(m_bytes, sizeof m_bytes); }
    WipedBuffer(const WipedBuffer&) = delete;
    WipedBuffer& operator=(const WipedBuffer&) = delete;
    char* Data() { return m_bytes; }

private:
    char m_bytes[kReadLimit];
};

enum class LineResult { Line, End, TooLong, Failed };

struct LineRead {
    LineResult result = LineResult::End;
    std::size_t read = 0;      // bytes taken from fd
    std::size_t consumed = 0;  // of them, the line and its line end
};

// The first line of fd without its line end, a leading UTF-8 byte order mark and a trailing CR,
// into line (which should be empty, so that it is allocated once, at its size). `byteWise` reads one
// byte per call, so that nothing past the line is taken from a stream that someone else reads on;
// either way at most kReadLimit bytes are read.
LineRead ReadLine(int fd, bool byteWise, std::string& line) {
    WipedBuffer buffer;
    LineRead outcome;
    std::size_t end = kReadLimit;
    while (outcome.read < kReadLimit) {
        const std::size_t want = byteWise ? 1 : kReadLimit - outcome.read;
        const ssize_t n = read(fd, buffer.Data() + outcome.read, want);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            outcome.result = LineResult::Failed;
            return outcome;
        }
        if (n == 0) {
            break;
        }
        const auto* newline = static_cast<const char*>(
            std::memchr(buffer.Data() + outcome.read, '\n', static_cast<std::size_t>(n)));
        outcome.read += static_cast<std::size_t>(n);
        if (newline != nullptr) {
            end = static_cast<std::size_t>(newline - buffer.Data());
            break;
        }
    }
    if (end == kReadLimit) {
        if (outcome.read == kReadLimit) {
            outcome.result = LineResult::TooLong;
            return outcome;
        }
        if (outcome.read == 0) {
            return outcome;  // LineResult::End
        }
        end = outcome.read;
    }
    outcome.consumed = std::min(end + 1, outcome.read);
    std::size_t begin = 0;
    // Windows editors save "UTF-8" with a byte order mark; it is no part of the password.
    if (end >= 3 && std::memcmp(buffer.Data(), "\xEF\xBB\xBF", 3) == 0) {
        begin = 3;
    }
    if (end > begin && buffer.Data()[end - 1] == '\r') {
        --end;
    }
    line.assign(buffer.Data() + begin, end - begin);
    outcome.result = LineResult::Line;
    return outcome;
}

// A zero byte would silently end the password at the C interface.
bool HoldsZeroByte(const std::string& text) {
    return text.find('\0') != std::string::npos;
}

const std::string kTooLong = " is longer than " + std::to_string(kLongestPassword) + " bytes";

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
    // A blocking open: a named pipe's writer may come after us, and a non-blocking read would take
    // the pipe without a writer for an empty file, that is an empty password.
    const int fd = fromStdin ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open the password file '" + path + "': " + std::strerror(errno);
        return std::nullopt;
    }
    // Standard input may carry more for someone else. One that can seek is read in blocks and set
    // back to just after the line; a pipe cannot be, so it is read byte by byte, within the limit.
    const bool seekable = fromStdin && lseek(fd, 0, SEEK_CUR) >= 0;
    const bool byteWise = fromStdin && !seekable;
    std::optional<std::string> password(std::in_place);
    const LineRead line = ReadLine(fd, byteWise, *password);
    const int readErrno = errno;
    if (seekable && line.read > line.consumed) {
        lseek(fd, -static_cast<off_t>(line.read - line.consumed), SEEK_CUR);
    }
    if (!fromStdin) {
        close(fd);
    }
    const std::string where = fromStdin ? std::string("standard input") : "'" + path + "'";
    if (line.result == LineResult::Failed) {
        error = "cannot read the password from " + where + ": " + std::strerror(readErrno);
        return std::nullopt;
    }
    if (line.result == LineResult::TooLong) {
        error = "the first line of " + where + kTooLong + ", too long for a password";
        return std::nullopt;
    }
    if (HoldsZeroByte(*password)) {
        WipeString(*password);
        error = "the password in " + where + " holds a zero byte";
        return std::nullopt;
    }
    // An empty file is an empty password, as an empty field on the form is.
    return password;
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

    // Byte by byte: whatever the user typed after the line stays for the next prompt.
    std::optional<std::string> password(std::in_place);
    const LineResult result = ReadLine(STDIN_FILENO, true, *password).result;
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
    if (result == LineResult::TooLong) {
        error = "the password" + kTooLong;
        return std::nullopt;
    }
    if (HoldsZeroByte(*password)) {
        WipeString(*password);
        error = "the password holds a zero byte";
        return std::nullopt;
    }
    return password;
}
