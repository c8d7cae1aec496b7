// SPDX-License-Identifier: Apache-2.0
// The least a Qt dialog program does: one label and one button in a modal dialog.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Minimal"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("A minimal dialog.")));
    auto* close = new QPushButton(QStringLiteral("Close"));
    QObject::connect(close, &QPushButton::clicked, &dialog, &QDialog::reject);
    layout->addWidget(close);
    dialog.exec();
    return 0;
}
