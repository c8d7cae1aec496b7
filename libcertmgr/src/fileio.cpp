// SPDX-License-Identifier: Apache-2.0
#include "fileio.h"

#include "errors.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace certmgr {

namespace {

std::string Reason(int error, const std::string& folder) {
    switch (error) {
        case ENOENT:
            return "the folder " + Quoted(folder) + " does not exist";
        case ENOTDIR:
            return "a part of the path is not a folder";
        case EACCES:
        case EPERM:
            return "permission denied";
        case EISDIR:
            return "it is a folder, not a file";
        case ENOSPC:
        case EDQUOT:
            return "no space left on the device";
        case EFBIG:
            return "the file would exceed the largest file size allowed";
        case EROFS:
            return "the file system is read-only";
        case ENAMETOOLONG:
            return "the file name is too long";
        default:
            return std::generic_category().message(error);
    }
}

[[noreturn]] void FailWrite(const std::string& path, int error, const std::string& folder) {
    Fail("Cannot write " + Quoted(path) + ": " + Reason(error, folder) + ".");
}

// Owns the temporary file until it has been renamed into place.
class TempFile {
public:
    TempFile(std::string name, int fd) : m_name(std::move(name)), m_fd(fd) {}
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        if (!m_committed) {
            ::unlink(m_name.c_str());
        }
    }
    int Fd() const { return m_fd; }
    const std::string& Name() const { return m_name; }
    int Close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd);
    }
    void Commit() { m_committed = true; }

private:
    std::string m_name;
    int m_fd;
    bool m_committed = false;
};

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);  // makes the rename itself durable; the file is already complete either way
        ::close(fd);
    }
}

// What stands at an existing path, for the message that refuses to replace it.
const char* KindOf(mode_t mode) {
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "it is a device, not a regular file";
    }
    if (S_ISFIFO(mode)) {
        return "it is a named pipe (FIFO), not a regular file";
    }
    if (S_ISSOCK(mode)) {
        return "it is a socket, not a regular file";
    }
    return "it is not a regular file";
}

[[noreturn]] void FailExists(const std::string& path) {
    Fail("Cannot write " + Quoted(path) + ": the file already exists, and replacing files is turned off.");
}

// Refuses what a rename would destroy that was never a file of ours to replace: a device, a pipe or a
// socket (as root, "/dev/null" would become a regular file), and the signing file the certificate
// comes from. Should the path change after this look, the rename still never writes through it.
void CheckTarget(const std::string& path, const WriteRules& rules) {
    struct stat entry {};
    const bool exists = ::lstat(path.c_str(), &entry) == 0;
    if (exists && !S_ISREG(entry.st_mode) && !S_ISLNK(entry.st_mode)) {
        Fail("Cannot write " + Quoted(path) + ": " + KindOf(entry.st_mode) + ".");
    }
    const FileIdentity* kept = rules.protectedFile;
    if (kept != nullptr &&
        (kept->path == path || (exists && S_ISREG(entry.st_mode) && kept->known &&
                                entry.st_dev == kept->device && entry.st_ino == kept->inode))) {
        Fail("Cannot write " + Quoted(path) +
             ": it is the signing certificate file in use; choose another output file.");
    }
    if (exists && !rules.replaceExisting) {
        FailExists(path);
    }
}

// Puts the finished file in place only if no file of that name exists, atomically even when another
// process writes the same name at the same moment. File systems without RENAME_NOREPLACE get a hard
// link, which fails in the same way on an existing name.
void PlaceWithoutReplacing(TempFile& temp, const std::string& path, const std::string& folder) {
    if (::renameat2(AT_FDCWD, temp.Name().c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) {
        temp.Commit();
        return;
    }
    int error = errno;
    if (error == EINVAL || error == ENOSYS) {
        if (::link(temp.Name().c_str(), path.c_str()) == 0) {
            return;  // the temporary name goes with the TempFile; the data stays under `path`
        }
        error = errno;
    }
    if (error == EEXIST) {
        FailExists(path);
    }
    FailWrite(path, error, folder);
}

}  // namespace

std::string ReadWholeFile(const std::string& path, std::string_view role, std::size_t limit) {
    const std::string what = "the " + std::string(role) + " " + Quoted(path);
    if (path.empty()) {
        Fail("No " + std::string(role) + " was given.");
    }
    // Non-blocking, so that a FIFO or a device fails below instead of hanging in open().
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT) {
            Fail("The " + std::string(role) + " " + Quoted(path) + " does not exist.");
        }
        Fail("Cannot read " + what + ": " + Reason(error, path) + ".");
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        Fail("Cannot read " + what + ": " + Reason(errno, path) + ".");
    }
    if (S_ISDIR(info.st_mode)) {
        Fail("Cannot read " + what + ": it is a folder, not a file.");
    }
    if (!S_ISREG(info.st_mode)) {
        Fail("Cannot read " + what + ": it is not a regular file.");
    }
    std::string content;
    char buffer[16384];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            Fail("Cannot read " + what + ": " + Reason(errno, path) + ".");
        }
        if (got == 0) {
            break;
        }
        content.append(buffer, static_cast<std::size_t>(got));
        if (content.size() > limit) {
            Fail("Cannot read " + what + ": it is too large to be a PKCS #12 file.");
        }
    }
    return content;
}

FileIdentity IdentifyFile(const std::string& path) {
    FileIdentity identity;
    identity.path = path;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        identity.known = true;
        identity.device = info.st_dev;
        identity.inode = info.st_ino;
    }
    return identity;
}

void WriteFileAtomically(const std::string& path, std::string_view data, const WriteRules& rules) {
    if (path.empty()) {
        Fail("No output file was given.");
    }
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    struct stat info {};
    if (base.empty() || base == "." || base == ".." ||
        (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))) {
        FailWrite(path, EISDIR, folder);
    }
    CheckTarget(path, rules);

    // A short, hidden name beside the target, so the rename stays within one file system.
    std::string pattern = folder + "/." + base.substr(0, 64) + ".XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        FailWrite(path, errno, folder);
    }
    TempFile temp(pattern, fd);
    // mkostemp asks for 0600, but the umask could narrow it; the key is not written yet.
    if (::fchmod(temp.Fd(), S_IRUSR | S_IWUSR) != 0) {
        FailWrite(path, errno, folder);
    }
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t done = ::write(temp.Fd(), data.data() + written, data.size() - written);
        if (done < 0 && errno == EINTR) {
            continue;
        }
        if (done < 0) {
            FailWrite(path, errno, folder);
        }
        written += static_cast<std::size_t>(done);
    }
    if (::fsync(temp.Fd()) != 0) {
        FailWrite(path, errno, folder);
    }
    if (temp.Close() != 0) {
        FailWrite(path, errno, folder);
    }
    if (rules.replaceExisting) {
        if (::rename(temp.Name().c_str(), path.c_str()) != 0) {
            FailWrite(path, errno, folder);
        }
        temp.Commit();
    } else {
        PlaceWithoutReplacing(temp, path, folder);
    }
    SyncFolder(folder);
}

}  // namespace certmgr
