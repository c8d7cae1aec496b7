// SPDX-License-Identifier: Apache-2.0
#include "ui/desktoplink.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <array>

namespace {

// The placeholders that stand for the address in a handler's command line.
constexpr std::array<const char*, 5> kPlaceholders = {"%u", "%U", "%f", "%F", "%1"};

// xdg-mime is a small script; a handler query that takes longer than this has hung.
constexpr int kQueryTimeoutMs = 5000;

qsizetype FirstPlaceholder(const QString& command, bool quoted) {
    qsizetype first = -1;
    for (const char* placeholder : kPlaceholders) {
        const QString needle = quoted ? QStringLiteral("\"%1\"").arg(QLatin1String(placeholder))
                                      : QString::fromLatin1(placeholder);
        const qsizetype at = command.indexOf(needle);
        if (at >= 0 && (first < 0 || at < first)) {
            first = at;
        }
    }
    return first;
}

bool IsFieldCode(const QString& argument) {
    return argument.size() == 2 && argument[0] == u'%' &&
           QStringLiteral("fFuUdDnNickvm").contains(argument[1]);
}

QString UnescapeDesktopString(QStringView value) {
    QString text;
    text.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            text += value[i];
            continue;
        }
        const QChar next = value[++i];
        switch (next.unicode()) {
            case 's':
                text += u' ';
                break;
            case 'n':
                text += u'\n';
                break;
            case 't':
                text += u'\t';
                break;
            case 'r':
                text += u'\r';
                break;
            case '\\':
                text += u'\\';
                break;
            // Other escapes belong to the Exec quoting and are resolved when the line is split.
            default:
                text += u'\\';
                text += next;
                break;
        }
    }
    return text;
}

// A desktop file ID names subfolders with dashes: "vendor-browser.desktop" may live at
// "vendor/browser.desktop".
QString LocateDesktopEntry(const QString& id) {
    QString candidate = id;
    for (;;) {
        const QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, candidate);
        if (!path.isEmpty()) {
            return path;
        }
        const qsizetype dash = candidate.indexOf(u'-');
        if (dash < 0) {
            return {};
        }
        candidate[dash] = u'/';
    }
}

}  // namespace

int DesktopLinkServices::OpenWithDefaultHandler(const QString& address) {
    if (QDesktopServices::openUrl(QUrl(address))) {
        return kOpenSucceeded;
    }
    // Qt reports no reason; a missing opener is the one cause that can be told apart.
    return QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty() ? kOpenFileNotFound
                                                                                : kOpenNoAssociation;
}

std::optional<QString> DesktopLinkServices::DefaultHtmlHandlerCommand() {
    QProcess query;
    query.setStandardInputFile(QProcess::nullDevice());
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
    if (!query.waitForFinished(kQueryTimeoutMs) || query.exitStatus() != QProcess::NormalExit ||
        query.exitCode() != 0) {
        query.kill();
        query.waitForFinished(kQueryTimeoutMs);
        return std::nullopt;
    }
    const QString id = QString::fromUtf8(query.readAllStandardOutput()).section(u'\n', 0, 0).trimmed();
    if (id.isEmpty()) {
        return std::nullopt;
    }
    QFile entry(LocateDesktopEntry(id));
    if (entry.fileName().isEmpty() || !entry.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return ExecLineOfDesktopEntry(QString::fromUtf8(entry.readAll()));
}

int DesktopLinkServices::StartDetached(const QString& program, const QStringList& arguments) {
    QString resolved;
    if (program.contains(u'/')) {
        const QFileInfo info(program);
        if (!info.absoluteDir().exists()) {
            return kOpenPathNotFound;
        }
        if (!info.exists()) {
            return kOpenFileNotFound;
        }
        if (!info.isFile() || !info.isExecutable()) {
            return kOpenAccessDenied;
        }
        resolved = info.absoluteFilePath();
    } else {
        resolved = QStandardPaths::findExecutable(program);
        if (resolved.isEmpty()) {
            return kOpenFileNotFound;
        }
    }
    QProcess process;
    process.setProgram(resolved);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    // The program exists and may run, so a failed start means it could not be executed.
    return process.startDetached() ? kOpenSucceeded : kOpenBadFormat;
}

void DesktopLinkServices::Beep() {
    QApplication::beep();
}

void DesktopLinkServices::ShowOpenError(QWidget* owner, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

std::optional<QString> ExecLineOfDesktopEntry(const QString& entryText) {
    bool inMainGroup = false;
    for (QStringView line : QStringView(entryText).split(u'\n')) {
        line = line.trimmed();
        if (line.startsWith(u'[')) {
            inMainGroup = line == u"[Desktop Entry]";
            continue;
        }
        if (!inMainGroup || line.startsWith(u'#')) {
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0 && line.first(equals).trimmed() == u"Exec") {
            return UnescapeDesktopString(line.sliced(equals + 1).trimmed());
        }
    }
    return std::nullopt;
}

QString CutAtPlaceholder(const QString& command) {
    qsizetype at = FirstPlaceholder(command, true);
    if (at < 0) {
        at = FirstPlaceholder(command, false);
    }
    return at < 0 ? command : command.first(at);
}

std::optional<QStringList> SplitDesktopCommand(const QString& command) {
    QStringList arguments;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    for (qsizetype i = 0; i < command.size(); ++i) {
        const QChar c = command[i];
        if (quoted) {
            if (c == u'\\' && i + 1 < command.size() && QStringLiteral("\"`$\\").contains(command[i + 1])) {
                current += command[++i];
            } else if (c == u'"') {
                quoted = false;
            } else {
                current += c;
            }
        } else if (c == u' ' || c == u'\t' || c == u'\n') {
            if (inArgument) {
                arguments << current;
                current.clear();
                inArgument = false;
            }
        } else {
            quoted = c == u'"';
            if (!quoted) {
                current += c;
            }
            inArgument = true;
        }
    }
    if (quoted) {
        return std::nullopt;
    }
    if (inArgument) {
        arguments << current;
    }
    arguments.removeIf(IsFieldCode);
    for (QString& argument : arguments) {
        argument.replace(QStringLiteral("%%"), QStringLiteral("%"));
    }
    if (arguments.isEmpty() || arguments.first().isEmpty()) {
        return std::nullopt;
    }
    return arguments;
}

std::optional<QStringList> BrowserArguments(const QString& command, const QString& address) {
    std::optional<QStringList> arguments = SplitDesktopCommand(CutAtPlaceholder(command));
    if (arguments) {
        arguments->append(address);
    }
    return arguments;
}
