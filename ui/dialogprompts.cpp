// SPDX-License-Identifier: Apache-2.0
#include "ui/dialogprompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {

std::optional<QString> Run(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}

}  // namespace

std::optional<QString> QtDialogPrompts::ChooseSigningFile(QWidget* owner) {
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // "*" rather than "*.*": here a file name need not hold a dot.
    dialog.setNameFilters({QStringLiteral("Certificates (*.pfx *.p12)"), QStringLiteral("All Files (*)")});
    return Run(dialog);
}

std::optional<QString> QtDialogPrompts::ChooseOutputFile(QWidget* owner) {
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("pfx"));
    dialog.setNameFilter(QStringLiteral("Certificates (*.pfx)"));
    dialog.selectFile(QStringLiteral("certificate"));
    // Replacing a file that exists is confirmed first: QFileDialog asks unless told not to.
    return Run(dialog);
}

void QtDialogPrompts::ShowMessage(QWidget* owner, const QString& text, const QString& caption,
                                  MessageIcon icon) {
    QMessageBox box(icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Information, caption,
                    text, QMessageBox::Ok, owner);
    // Error texts may quote file names; markup in them must not be rendered.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool QtDialogPrompts::AskYesNo(QWidget* owner, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, owner);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
}
