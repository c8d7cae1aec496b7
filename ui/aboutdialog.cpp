// SPDX-License-Identifier: Apache-2.0
#include "ui/aboutdialog.h"

#include "ui/dialogunits.h"
#include "ui/resources.h"
#include "ui/version.h"

#include "ui_aboutdialog.h"

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::AboutDialog>()) {
    EnsureResources();
    m_ui->setupUi(this);
    m_ui->versionLabel->setText(QStringLiteral("Ombrel Version %1.%2").arg(kVersionMajor).arg(kVersionMinor));
    // A title bar with the window menu and a close box, but nothing to resize it with.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    ApplyTemplateGeometry(*this);
    m_ui->okButton->setFocus();
}

CAboutDialog::~CAboutDialog() = default;
