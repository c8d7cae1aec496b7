// SPDX-License-Identifier: Apache-2.0
// The desktop services the link label opens its address with, and the rewriting of a
// desktop entry's command line into the arguments of the browser.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

// Result codes of an open: greater than 32 means success; smaller ones name the failure.
enum OpenCode : int {
    kOpenOutOfResources = 0,
    kOpenFileNotFound = 2,
    kOpenPathNotFound = 3,
    kOpenAccessDenied = 5,
    kOpenBadFormat = 11,
    kOpenAssociationIncomplete = 27,
    kOpenNoAssociation = 31,
    kOpenSucceeded = 33,
};

// What the label needs from the desktop. Tests put a scripted stand-in in its place.
class LinkServices {
public:
    virtual ~LinkServices() = default;

    // Opens the address with the desktop's default handler; an OpenCode.
    virtual int OpenWithDefaultHandler(const QString& address) = 0;
    // The Exec line of the desktop entry that handles text/html; nothing when there is none.
    virtual std::optional<QString> DefaultHtmlHandlerCommand() = 0;
    // Starts the program on its own, never through a shell; an OpenCode.
    virtual int StartDetached(const QString& program, const QStringList& arguments) = 0;

    virtual void Beep() = 0;
    // Modal: returns once the user has closed the box.
    virtual void ShowOpenError(QWidget* owner, const QString& caption, const QString& text) = 0;
};

// The real desktop: QDesktopServices, xdg-mime and the XDG application folders, QProcess.
class DesktopLinkServices final : public LinkServices {
public:
    int OpenWithDefaultHandler(const QString& address) override;
    std::optional<QString> DefaultHtmlHandlerCommand() override;
    int StartDetached(const QString& program, const QStringList& arguments) override;
    void Beep() override;
    void ShowOpenError(QWidget* owner, const QString& caption, const QString& text) override;
};

// The value of the Exec key in the [Desktop Entry] group, with the string escapes
// (\s \n \t \r \\) resolved; nothing when the entry has none.
std::optional<QString> ExecLineOfDesktopEntry(const QString& entryText);

// The command cut where the address belongs: at the first quoted placeholder ("%u",
// "%U", "%f", "%F" or "%1") when one occurs, else at the first bare one; whole otherwise.
QString CutAtPlaceholder(const QString& command);

// Splits a command line the way desktop entries quote it: blanks separate arguments,
// double quotes group them, and inside quotes a backslash escapes " ` $ and itself.
// "%%" becomes "%"; an argument made only of another field code is dropped.
// Nothing when a quote is left open or no program remains.
std::optional<QStringList> SplitDesktopCommand(const QString& command);

// The program and arguments that open the address with the handler's command line: the
// command cut at its placeholder, then the address as one argument of its own, so that
// blanks or quotes in it can never make further arguments.
std::optional<QStringList> BrowserArguments(const QString& command, const QString& address);
