// SPDX-License-Identifier: Apache-2.0
// The About dialog: the product's name and version, its icon, the maker's
// notice and one OK button.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class AboutDialog;
}

class CAboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDialog(QWidget* parent = nullptr);
    ~CAboutDialog() override;

private:
    std::unique_ptr<Ui::AboutDialog> m_ui;
};
