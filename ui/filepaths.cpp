// SPDX-License-Identifier: Apache-2.0
#include "ui/filepaths.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

QString ExpandTypedPath(const QString& typed) {
    if (typed == QLatin1String("~")) {
        return QDir::homePath();
    }
    if (typed.startsWith(QLatin1String("~/"))) {
        return QDir::homePath() + typed.mid(1);
    }
    if (typed.startsWith(QLatin1String("file://"), Qt::CaseInsensitive)) {
        // Only a URL that names a file on this machine; "file:name.pfx" is taken as a file name.
        const QUrl url(typed, QUrl::StrictMode);
        if (url.isValid() && url.isLocalFile() && url.host().isEmpty()) {
            return url.toLocalFile();
        }
    }
    return typed;
}

bool IsSameFile(const QString& first, const QString& second) {
    const QFileInfo a(first);
    const QFileInfo b(second);
    if (QDir::cleanPath(a.absoluteFilePath()) == QDir::cleanPath(b.absoluteFilePath())) {
        return true;
    }
    if (!a.exists() || !b.exists()) {
        return false;
    }
    // A hard link, or a path through a link or a bind mount, still names the same file.
    struct stat sa {};
    struct stat sb {};
    if (::stat(QFile::encodeName(first).constData(), &sa) != 0 ||
        ::stat(QFile::encodeName(second).constData(), &sb) != 0) {
        return false;
    }
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::optional<QString> OutputLocationProblem(const QString& path) {
    const QFileInfo file(path);
    if (file.isDir()) {
        return QStringLiteral("%1 is a folder. Enter the name of a file in it.")
            .arg(QDir::toNativeSeparators(path));
    }
    const QString folder = QDir::toNativeSeparators(file.absolutePath());
    const QFileInfo folderInfo(file.absolutePath());
    if (!folderInfo.exists()) {
        return QStringLiteral("The folder %1 does not exist.").arg(folder);
    }
    if (!folderInfo.isDir()) {
        return QStringLiteral("%1 is not a folder.").arg(folder);
    }
    // The file is made beside its final name and renamed over it, so the folder itself must
    // take new entries, whatever the file's own permissions.
    if (::access(QFile::encodeName(file.absolutePath()).constData(), W_OK | X_OK) != 0) {
        return QStringLiteral("The folder %1 cannot be written to.").arg(folder);
    }
    return std::nullopt;
}
