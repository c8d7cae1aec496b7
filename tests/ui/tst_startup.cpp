// SPDX-License-Identifier: Apache-2.0
// The program's start: the application object runs the form and leaves nothing behind.
#include "uitesting.h"

#include "ui/mainapp.h"
#include "ui/maindialog.h"

#include <QDirIterator>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void runsTheFormIgnoresArgumentsAndKeepsNoSettings();
};

void TestStartup::runsTheFormIgnoresArgumentsAndKeepsNoSettings() {
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString config = home.filePath(".config");
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
    QByteArray program = "ombrel", option = "--output",
               value = home.filePath("from-arguments.pfx").toLocal8Bit();
    char* argv[] = {program.data(), option.data(), value.data(), nullptr};
    int argc = 3;

    CMainApp app(argc, argv);
    QCOMPARE(app.organizationName(), QStringLiteral("Local AppWizard-Generated Applications"));
    QCOMPARE(app.applicationVersion(), QStringLiteral("2.1.0.0"));
    // The window is matched to the desktop entry that is installed under this id.
    QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("org.varnock.Ombrel"));
    QVERIFY(QFileInfo::exists(
        QStringLiteral(OMBREL_RES_DIR "/%1.desktop").arg(QGuiApplication::desktopFileName())));

    std::string outputField = "not read";
    std::shared_ptr<bool> pickerRan;
    const auto formRan = WhenModal<CMainDialog>([&](CMainDialog* form) {
        outputField = form->GetDlgItemText(IDC_OUTPUT_FILE);
        // A real file dialog, the one part of Qt that would otherwise keep a settings file.
        pickerRan = WhenModal<QFileDialog>([](QFileDialog* picker) { picker->reject(); });
        QTest::mouseClick(qobject_cast<QPushButton*>(form->Control(IDC_BROWSE_SIGNING_FILE)), Qt::LeftButton);
        form->close();
    });
    QCOMPARE(app.InitInstance(), false);

    QVERIFY(*formRan);
    QVERIFY(pickerRan && *pickerRan);
    QCOMPARE(outputField, std::string());
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
    QStringList written;
    for (QDirIterator it(home.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString file = it.next();
        if (file.startsWith(config) || file.endsWith(".conf")) {
            written << file;
        }
    }
    QVERIFY2(written.isEmpty(), qPrintable(written.join(", ")));
}

QTEST_APPLESS_MAIN(TestStartup)
#include "tst_startup.moc"
