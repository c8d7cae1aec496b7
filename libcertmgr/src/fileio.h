// SPDX-License-Identifier: Apache-2.0
// Reading the signing file and writing the output file, with failure texts that name the path.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace certmgr {

// The whole content of a regular file of at most `limit` bytes. `role` names the file in messages,
// for example "signing certificate file".
std::string ReadWholeFile(const std::string& path, std::string_view role, std::size_t limit);

// A file as the path named it when it was read, so that a later write can tell it even under another
// name (a hard link, "./name").
struct FileIdentity {
    std::string path;
    bool known = false;  // false: the file could not be examined, only its path counts
    dev_t device = 0;
    ino_t inode = 0;
};

// The identity of the file that `path` leads to, symbolic links followed.
FileIdentity IdentifyFile(const std::string& path);

struct WriteRules {
    bool replaceExisting = true;
    const FileIdentity* protectedFile = nullptr;  // never replaced, under any name: the loaded signing file
};

// Replaces `path` with `data` atomically: a temporary file beside it, created exclusively and readable
// by the owner alone, written, flushed to disk and renamed over the target. On any failure the
// temporary file is removed and an existing target is left as it was. The finished file is 0600.
// Only a regular file or a symbolic link is replaced (the link itself, never the file it points to),
// and with `replaceExisting` false nothing is: the file is put in place only if the name is free.
void WriteFileAtomically(const std::string& path, std::string_view data, const WriteRules& rules = {});

}  // namespace certmgr
