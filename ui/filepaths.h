// SPDX-License-Identifier: Apache-2.0
// What the form's two file fields hold, read as paths: typed shorthands are expanded, and the
// output file is checked before any key is made for it.
#pragma once

#include <QString>

#include <optional>

// "~" and "~/..." become paths in the home folder and a file:// URL its local path, as a shell
// or a file manager would give them; anything else stays as typed.
QString ExpandTypedPath(const QString& typed);

// True when both name one file: the same path once made absolute and cleaned, the same file
// through links, or the same device and inode.
bool IsSameFile(const QString& first, const QString& second);

// Why a new file cannot be written at path: its folder is missing, is no folder, or cannot be
// written to, or the path itself is a folder. Nothing when it can be written.
std::optional<QString> OutputLocationProblem(const QString& path);
