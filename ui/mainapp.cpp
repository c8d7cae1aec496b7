// SPDX-License-Identifier: Apache-2.0
#include "ui/mainapp.h"

#include "ui/maindialog.h"
#include "ui/resources.h"
#include "ui/version.h"

#include <QIcon>
#include <QSettings>

CMainApp::CMainApp(int& argc, char** argv) : QApplication(argc, argv) {
    // Recorded as the settings key; the program never reads or writes a setting.
    setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    setApplicationVersion(QString::fromLatin1(kVersionText));
    setWindowIcon(ApplicationIcon());
    // The id of the desktop entry (res/org.varnock.Ombrel.desktop), so that the desktop matches
    // the window to its entry, icon and name.
    setDesktopFileName(QStringLiteral("org.varnock.Ombrel"));
    // The program keeps nothing between runs, but QFileDialog records its last folder in
    // the user's settings when it closes. A path that cannot hold files keeps it from that.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("/dev/null"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("/dev/null"));
}

bool CMainApp::InitInstance() {
    CMainDialog dialog;
    dialog.exec();
    return false;
}
