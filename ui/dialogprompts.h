// SPDX-License-Identifier: Apache-2.0
// The modal prompts the main dialog needs: the two file pickers, the message box and the
// yes/no question.
// Tests answer them from a script instead of running real modal loops.
#pragma once

#include "core/certrequest.h"

#include <QString>

#include <optional>

class QWidget;

class DialogPrompts {
public:
    virtual ~DialogPrompts() = default;

    // The full path of the file the user confirmed; nothing when the picker was cancelled.
    virtual std::optional<QString> ChooseSigningFile(QWidget* owner) = 0;
    virtual std::optional<QString> ChooseOutputFile(QWidget* owner) = 0;
    // Modal: returns once the user has closed the box.
    virtual void ShowMessage(QWidget* owner, const QString& text, const QString& caption,
                             MessageIcon icon) = 0;
    // Modal: true for Yes. No is the default answer, so that Enter never agrees by accident.
    virtual bool AskYesNo(QWidget* owner, const QString& text, const QString& caption) = 0;
};

// QFileDialog and QMessageBox, owned by the given window.
class QtDialogPrompts final : public DialogPrompts {
public:
    std::optional<QString> ChooseSigningFile(QWidget* owner) override;
    std::optional<QString> ChooseOutputFile(QWidget* owner) override;
    void ShowMessage(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon) override;
    bool AskYesNo(QWidget* owner, const QString& text, const QString& caption) override;
};
