// SPDX-License-Identifier: Apache-2.0
// Reading the signing file and writing the output file, with failure texts that name the path.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace certmgr {

// The whole content of a regular file of at most `limit` bytes. `role` names the file in messages,
// for example "signing certificate file".
std::string ReadWholeFile(const std::string& path, std::string_view role, std::size_t limit);

// Replaces `path` with `data` atomically: a temporary file beside it, created exclusively and readable
// by the owner alone, written, flushed to disk and renamed over the target. On any failure the
// temporary file is removed and an existing target is left as it was. The finished file is 0600.
void WriteFileAtomically(const std::string& path, std::string_view data);

}  // namespace certmgr
