// SPDX-License-Identifier: Apache-2.0
// The real desktop services behind the link label, with stand-ins on disk for the desktop.
#include "ui/desktoplink.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

void Write(const QString& path, const QByteArray& content, QFile::Permissions permissions) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    QVERIFY(file.setPermissions(permissions));
}

constexpr QFile::Permissions kReadable = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions kRunnable = kReadable | QFile::ExeOwner;

}  // namespace

class TestDesktopLink : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void startDetachedNamesEachFailure_data();
    void startDetachedNamesEachFailure();
    void htmlHandlerCommandComesFromItsDesktopEntry_data();
    void htmlHandlerCommandComesFromItsDesktopEntry();

private:
    QTemporaryDir m_root;
};

void TestDesktopLink::initTestCase() {
    QVERIFY(m_root.isValid());
    Write(m_root.filePath("bin/plain.txt"), "not a program", kReadable);
    Write(m_root.filePath("bin/garbage"), QByteArray(64, '\x7f'), kRunnable);
    // Only the stand-ins below answer for the desktop, whatever this machine has installed.
    qputenv("PATH", (m_root.filePath("bin") + ":/usr/bin:/bin").toLocal8Bit());
    qputenv("XDG_DATA_HOME", m_root.filePath("share").toLocal8Bit());
    qputenv("XDG_DATA_DIRS", m_root.filePath("share-none").toLocal8Bit());
}

void TestDesktopLink::startDetachedNamesEachFailure_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<int>("code");
    QTest::newRow("started") << "true" << int(kOpenSucceeded);
    QTest::newRow("not on the path") << "no-such-browser-4711" << int(kOpenFileNotFound);
    QTest::newRow("missing file") << m_root.filePath("bin/missing") << int(kOpenFileNotFound);
    QTest::newRow("missing folder") << m_root.filePath("nowhere/browser") << int(kOpenPathNotFound);
    QTest::newRow("not runnable") << m_root.filePath("bin/plain.txt") << int(kOpenAccessDenied);
    QTest::newRow("a folder") << m_root.filePath("bin") << int(kOpenAccessDenied);
    QTest::newRow("not a program") << m_root.filePath("bin/garbage") << int(kOpenBadFormat);
}

void TestDesktopLink::startDetachedNamesEachFailure() {
    QFETCH(QString, program);
    QFETCH(int, code);
    DesktopLinkServices services;
    QCOMPARE(services.StartDetached(program, {"https://www.varnock.example"}), code);
}

void TestDesktopLink::htmlHandlerCommandComesFromItsDesktopEntry_data() {
    QTest::addColumn<QByteArray>("answer");  // what xdg-mime prints
    QTest::addColumn<std::optional<QString>>("command");
    const QByteArray entry =
        "[Desktop Entry]\nType=Application\nName=Browser\nExec=browser --new-window %u\n";
    Write(m_root.filePath("share/applications/plainbrowser.desktop"), entry, kReadable);
    // The desktop file ID "vendor-browser.desktop" names vendor/browser.desktop.
    Write(m_root.filePath("share/applications/vendor/browser.desktop"), entry, kReadable);
    const std::optional<QString> found("browser --new-window %u");
    QTest::newRow("entry") << QByteArray("plainbrowser.desktop") << found;
    QTest::newRow("entry in a subfolder") << QByteArray("vendor-browser.desktop") << found;
    QTest::newRow("no such entry") << QByteArray("gone.desktop") << std::optional<QString>();
    QTest::newRow("no handler") << QByteArray() << std::optional<QString>();
}

void TestDesktopLink::htmlHandlerCommandComesFromItsDesktopEntry() {
    QFETCH(QByteArray, answer);
    QFETCH(std::optional<QString>, command);
    Write(m_root.filePath("bin/xdg-mime"),
          "#!/bin/sh\n[ \"$*\" = 'query default text/html' ] && printf '%s\\n' '" + answer + "'\n",
          kRunnable);
    DesktopLinkServices services;
    QCOMPARE(services.DefaultHtmlHandlerCommand().value_or("none"), command.value_or("none"));
}

QTEST_GUILESS_MAIN(TestDesktopLink)
#include "tst_desktoplink.moc"
