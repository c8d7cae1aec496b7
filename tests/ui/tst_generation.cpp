// SPDX-License-Identifier: Apache-2.0
// "Generate Certificate" from the form to a .pfx file, with the real certificate manager: the
// checks and questions before a key is made, the run on its worker thread, and its cancelling.
#include "uitesting.h"

#include "core/certmgr.h"
#include "core/generate.h"
#include "ui/linklabel.h"
#include "ui/maindialog.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <unistd.h>

namespace {

class CountingCertMgr : public CCertMgr {
public:
    int progressEvents = 0;
    std::int32_t OnComponentEvent3(std::intptr_t*) override {
        ++progressEvents;
        return 0;
    }
};

// What the linked library can do. A test that needs a capability names it up front, so that a
// library without it fails with that reason rather than somewhere in the middle.
struct LibrarySupport {
    bool replaceSetting = false;
    bool authoritySetting = false;
    bool progressEvents = false;
    bool randomSerial = false;
};

LibrarySupport ProbeLibrary() {
    LibrarySupport support;
    {
        CCertMgr certMgr;
        support.replaceSetting = certMgr.ApplySetting("ReplaceExisting=0") == 0;
    }
    {
        CCertMgr certMgr;
        support.authoritySetting = certMgr.ApplySetting("CertAuthority=1") == 0;
    }
    CountingCertMgr certMgr;
    certMgr.ApplySetting("CertKeyLength=1024");
    support.randomSerial = certMgr.CreateSelfSigned("CN=probe", 0) == 0;
    if (!support.randomSerial) {
        certMgr.CreateSelfSigned("CN=probe", 1);
    }
    support.progressEvents = certMgr.progressEvents > 0;
    return support;
}

#define REQUIRE(capability, what) \
    QVERIFY2(m_library.capability, "the certificate manager does not " what)

const int kRunTimeoutMs = 120000;

}  // namespace

class TestGeneration : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void writesSelfSignedThenIssuedCertificate();
    void outcomeMessageIsTheProceduresOwn_data();
    void outcomeMessageIsTheProceduresOwn();
    void windowAnswersDuringALongRun();
    void closingCancelsTheRun_data();
    void closingCancelsTheRun();
    void existingOutputIsReplacedOnlyAfterAYes_data();
    void existingOutputIsReplacedOnlyAfterAYes();
    void refusedBeforeAnyKey_data();
    void refusedBeforeAnyKey();
    void emptyPasswordIsAskedAbout_data();
    void emptyPasswordIsAskedAbout();
    void authorityCheckBoxMakesACertificateAuthority_data();
    void authorityCheckBoxMakesACertificateAuthority();
    void emptySerialNumberIsRandom();
    void refusedValidityWritesNothing();

private:
    void Set(int control, const QString& text) {
        qobject_cast<QLineEdit*>(m_dialog->Control(control))->setText(text);
    }
    QPushButton* Button(int control) { return qobject_cast<QPushButton*>(m_dialog->Control(control)); }
    // Runs "Generate Certificate" and gives the one message it showed.
    void Generate(ScriptedPrompts::Message& message);
    // What OpenSSL reads from a .pfx file with the password: the certificate, as text.
    QString Describe(const QString& file, const QString& password);
    static QByteArray Contents(const QString& file);
    static void Write(const QString& file, const QByteArray& contents);
    // The dialog is idle again: inputs enabled, the button's caption and the pointer restored.
    void VerifyIdle();

    LibrarySupport m_library;
    QTemporaryDir m_folder;
    ScriptedPrompts m_prompts;
    std::unique_ptr<CMainDialog> m_dialog;
};

void TestGeneration::initTestCase() {
    m_library = ProbeLibrary();
    qInfo("certificate manager: ReplaceExisting %d, CertAuthority %d, progress events %d, random serial %d",
          m_library.replaceSetting, m_library.authoritySetting, m_library.progressEvents,
          m_library.randomSerial);
}

void TestGeneration::init() {
    QVERIFY(m_folder.isValid());
    m_prompts = ScriptedPrompts();
    m_dialog = std::make_unique<CMainDialog>(nullptr, &m_prompts);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    Set(IDC_COUNTRY, "DE");
    Set(IDC_ORGANIZATION, "Varnock Test");
    Set(IDC_PASSWORD, "pass");
    Set(IDC_SERIAL_NUMBER, "1");
    // The shortest key the form offers keeps the runs quick.
    qobject_cast<QComboBox*>(m_dialog->Control(IDC_KEY_LENGTH))->setCurrentText("1024");
}

void TestGeneration::cleanup() {
    m_dialog.reset();
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void TestGeneration::Generate(ScriptedPrompts::Message& message) {
    m_prompts.messages.clear();
    QTest::mouseClick(Button(IDC_GENERATE), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(m_prompts.messages.size(), 1, kRunTimeoutMs);
    message = m_prompts.messages[0];
    // The box comes up with the ordinary pointer, once the run is over.
    QVERIFY(!message.busyPointer);
    QCOMPARE(message.caption, QStringLiteral("Ombrel"));
    QCOMPARE(message.owner, m_dialog.get());
    VerifyIdle();
}

void TestGeneration::VerifyIdle() {
    QVERIFY(!m_dialog->IsGenerating());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QCOMPARE(Button(IDC_GENERATE)->text(), QStringLiteral("&Generate Certificate"));
    for (const int control :
         {IDC_COUNTRY, IDC_KEY_LENGTH, IDC_CERT_AUTHORITY, IDC_BROWSE_OUTPUT_FILE, IDC_GENERATE}) {
        QVERIFY2(m_dialog->Control(control)->isEnabled(), qPrintable(QString::number(control)));
    }
}

QString TestGeneration::Describe(const QString& file, const QString& password) {
    if (QStandardPaths::findExecutable("openssl").isEmpty()) {
        return {};
    }
    QProcess openssl;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("OMBREL_TEST_PASS", password);
    openssl.setProcessEnvironment(environment);
    openssl.start("openssl",
                  {"pkcs12", "-in", file, "-passin", "env:OMBREL_TEST_PASS", "-nokeys", "-clcerts"});
    openssl.waitForFinished(30000);
    const QByteArray pem = openssl.readAllStandardOutput();
    QProcess x509;
    x509.start("openssl", {"x509", "-noout", "-text", "-subject", "-issuer", "-serial"});
    x509.write(pem.mid(pem.indexOf("-----BEGIN")));
    x509.closeWriteChannel();
    x509.waitForFinished(30000);
    return QString::fromUtf8(x509.readAllStandardOutput());
}

QByteArray TestGeneration::Contents(const QString& file) {
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

void TestGeneration::Write(const QString& file, const QByteArray& contents) {
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(contents);
}

void TestGeneration::writesSelfSignedThenIssuedCertificate() {
    REQUIRE(replaceSetting, "take ReplaceExisting");
    // Both file fields understand "~/" and file:// URLs.
    const QString authority = QDir::home().filePath("authority.pfx");
    QFile::remove(authority);
    Set(IDC_COMMON_NAME, "Varnock Test Authority");
    Set(IDC_PASSWORD, "authority pass");
    Set(IDC_OUTPUT_FILE, "~/authority.pfx");
    qobject_cast<QCheckBox*>(m_dialog->Control(IDC_CERT_AUTHORITY))->setChecked(true);
    // Longer than the issued certificate's 365 days, which may not outlast it.
    Set(IDC_VALID_DAYS, "730");
    ScriptedPrompts::Message message;
    Generate(message);
    if (QTest::currentTestFailed()) {
        return;
    }
    // The first line stays exactly as it was; the file's path follows on the second.
    QCOMPARE(message.text, "Certificate successfully created!\n" + authority);
    QCOMPARE(message.icon, MessageIcon::Information);
    QVERIFY(QFileInfo(authority).size() > 0);
    // The focus goes back where it was, and nothing was asked: the file was new.
    QCOMPARE(QApplication::focusWidget(), Button(IDC_GENERATE));
    QVERIFY(m_prompts.questions.isEmpty());

    const QString issued = m_folder.filePath("issued.pfx");
    Set(IDC_COMMON_NAME, "www.example.com");
    Set(IDC_PASSWORD, "issued pass");
    Set(IDC_SERIAL_NUMBER, "7");
    Set(IDC_VALID_DAYS, "365");
    qobject_cast<QCheckBox*>(m_dialog->Control(IDC_CERT_AUTHORITY))->setChecked(false);
    Set(IDC_SIGNING_FILE, QUrl::fromLocalFile(authority).toString());
    Set(IDC_SIGNING_PASSWORD, "authority pass");
    Set(IDC_OUTPUT_FILE, issued);
    Generate(message);
    if (QTest::currentTestFailed()) {
        return;
    }
    QCOMPARE(message.text, "Certificate successfully created!\n" + issued);
    QCOMPARE(message.icon, MessageIcon::Information);

    const QString description = Describe(issued, "issued pass");
    if (description.isEmpty()) {
        QSKIP("no openssl program to read the file back");
    }
    QVERIFY2(description.contains(QRegularExpression("subject=.*CN ?= ?www\\.example\\.com")),
             qPrintable(description));
    QVERIFY2(description.contains(QRegularExpression("issuer=.*CN ?= ?Varnock Test Authority")),
             qPrintable(description));
    QVERIFY2(description.contains("serial=07"), qPrintable(description));
    QVERIFY2(description.contains("Public-Key: (1024 bit)"), qPrintable(description));
}

void TestGeneration::outcomeMessageIsTheProceduresOwn_data() {
    QTest::addColumn<QString>("signing");  // what the signing file is
    QTest::newRow("wrong password") << "authority";
    QTest::newRow("missing file") << "missing";
    QTest::newRow("not a PKCS #12 file") << "garbage";
}

void TestGeneration::outcomeMessageIsTheProceduresOwn() {
    REQUIRE(replaceSetting, "take ReplaceExisting");
    QFETCH(QString, signing);
    const QString authority = m_folder.filePath("authority.pfx");
    if (signing == "authority" && !QFileInfo::exists(authority)) {
        Set(IDC_COMMON_NAME, "Varnock Test Authority");
        Set(IDC_PASSWORD, "right");
        Set(IDC_OUTPUT_FILE, authority);
        qobject_cast<QCheckBox*>(m_dialog->Control(IDC_CERT_AUTHORITY))->setChecked(true);
        ScriptedPrompts::Message made;
        Generate(made);
        QCOMPARE(made.icon, MessageIcon::Information);
    }
    const QString garbage = m_folder.filePath("garbage.pfx");
    Write(garbage, "not a certificate");
    const QString file = signing == "authority" ? authority
                         : signing == "missing" ? m_folder.filePath("missing.pfx")
                                                : garbage;
    const QString refused = m_folder.filePath("refused.pfx");
    Set(IDC_SIGNING_FILE, file);
    Set(IDC_SIGNING_PASSWORD, "not-the-pw-7Q");
    Set(IDC_OUTPUT_FILE, refused);

    // The words the procedure itself gives for the same request are shown as they are.
    CCertMgr certMgr;
    const GenerationOutcome expected =
        RunGeneration(certMgr, ReadCertRequest(*m_dialog), {"ReplaceExisting=0"});
    QVERIFY(!expected.written);
    ScriptedPrompts::Message message;
    Generate(message);
    QCOMPARE(message.text, QString::fromStdString(expected.message));
    QCOMPARE(message.icon, MessageIcon::Error);
    QVERIFY(!message.text.contains("not-the-pw-7Q"));
    if (signing == "authority") {
        QVERIFY2(message.text.endsWith(" (Wrong Password?)"), qPrintable(message.text));
    }
    QVERIFY(!QFileInfo::exists(refused));
}

void TestGeneration::windowAnswersDuringALongRun() {
    REQUIRE(replaceSetting, "take ReplaceExisting");
    const QString output = m_folder.filePath("long.pfx");
    qobject_cast<QComboBox*>(m_dialog->Control(IDC_KEY_LENGTH))->setCurrentText("4096");
    Set(IDC_OUTPUT_FILE, output);
    QTest::mouseClick(Button(IDC_GENERATE), Qt::LeftButton);

    // The click came back at once, with the window in its busy state.
    QVERIFY(m_dialog->IsGenerating());
    QCOMPARE(Button(IDC_GENERATE)->text(), QStringLiteral("Generating\u2026"));
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    for (const int control : {IDC_COUNTRY, IDC_STATE, IDC_CITY, IDC_ORGANIZATION, IDC_ORGANIZATIONAL_UNIT,
                              IDC_COMMON_NAME, IDC_KEY_LENGTH, IDC_VALID_DAYS, IDC_SERIAL_NUMBER,
                              IDC_PASSWORD, IDC_CERT_AUTHORITY, IDC_SIGNING_FILE, IDC_BROWSE_SIGNING_FILE,
                              IDC_SIGNING_PASSWORD, IDC_OUTPUT_FILE, IDC_BROWSE_OUTPUT_FILE, IDC_GENERATE}) {
        QVERIFY2(!m_dialog->Control(control)->isEnabled(), qPrintable(QString::number(control)));
    }
    QVERIFY(m_dialog->Control(2)->isEnabled());
    QVERIFY(m_dialog->LinkLabel()->isEnabled());

    // While the key is made, the event loop keeps turning: a timer every 20 ms, each tick
    // answering an accessibility query, repainting the window and moving it.
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longestGap = 0;
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, [&] {
        if (!m_dialog->IsGenerating()) {
            return;
        }
        const qint64 now = clock.elapsed();
        longestGap = std::max(longestGap, now - last);
        last = now;
        ++ticks;
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(m_dialog.get());
        QCOMPARE(window->text(QAccessible::Name), QStringLiteral("Ombrel"));
        QVERIFY(window->childCount() > 0);
        QVERIFY(!m_dialog->grab().isNull());
        m_dialog->move(m_dialog->pos() + QPoint(ticks % 2 ? 1 : -1, 0));
    });
    timer.start(20);
    QTRY_COMPARE_WITH_TIMEOUT(m_prompts.messages.size(), 1, kRunTimeoutMs);
    timer.stop();
    qInfo("4096-bit run: %lld ms, %d ticks, longest gap between ticks %lld ms", clock.elapsed(), ticks,
          longestGap);

    QVERIFY2(ticks >= 3, "the run ended too quickly to watch the window");
    QVERIFY2(longestGap < 500, qPrintable(QString::number(longestGap)));
    QCOMPARE(m_prompts.messages[0].text, "Certificate successfully created!\n" + output);
    VerifyIdle();
    QVERIFY(QFileInfo(output).size() > 0);
}

void TestGeneration::closingCancelsTheRun_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Escape") << "escape";
    QTest::newRow("Close button") << "button";
    QTest::newRow("window manager's close request") << "close";
}

void TestGeneration::closingCancelsTheRun() {
    REQUIRE(replaceSetting, "take ReplaceExisting");
    REQUIRE(progressEvents, "raise progress events");
    QFETCH(QString, how);
    QTemporaryDir folder;
    const QString output = folder.filePath("cancelled.pfx");
    qobject_cast<QComboBox*>(m_dialog->Control(IDC_KEY_LENGTH))->setCurrentText("4096");
    Set(IDC_OUTPUT_FILE, output);
    m_dialog->setResult(-1);
    QTest::mouseClick(Button(IDC_GENERATE), Qt::LeftButton);
    QVERIFY(m_dialog->IsGenerating());

    QElapsedTimer clock;
    clock.start();
    if (how == "escape") {
        QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
    } else if (how == "button") {
        QTest::mouseClick(Button(2), Qt::LeftButton);
    } else {
        m_dialog->close();
    }
    const qint64 waited = clock.elapsed();
    qInfo("closing during the run took %lld ms", waited);

    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
    QVERIFY(!m_dialog->IsGenerating());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    // Well before a 4096-bit key could have been finished.
    QVERIFY2(waited < 3000, qPrintable(QString::number(waited)));
    // Nothing written, nothing left behind, and no box for the cancelled run, even later.
    QTest::qWait(50);
    QVERIFY(m_prompts.messages.isEmpty());
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

void TestGeneration::existingOutputIsReplacedOnlyAfterAYes_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("typed, No") << "typed-no" << true << false;
    QTest::newRow("typed, Yes") << "typed-yes" << true << true;
    QTest::newRow("typed as ~/, No") << "home-no" << true << false;
    QTest::newRow("chosen in the save dialog, which asked") << "chosen" << false << true;
    QTest::newRow("chosen, then edited to another existing file") << "chosen-edited" << true << false;
    // Absent when checked, there when written: the run must not replace it.
    QTest::newRow("appears while the user is asked about the password") << "appears" << false << false;
}

void TestGeneration::existingOutputIsReplacedOnlyAfterAYes() {
    QFETCH(QString, how);
    QFETCH(bool, asked);
    QFETCH(bool, replaced);
    if (how != "typed-no" && how != "home-no" && how != "chosen-edited") {
        REQUIRE(replaceSetting, "take ReplaceExisting");
    }
    const QByteArray precious = "the user's only copy";
    QString output = m_folder.filePath("existing.pfx");
    if (how == "home-no") {
        output = QDir::home().filePath("existing.pfx");
    }
    Write(output, precious);
    const QString other = m_folder.filePath("other.pfx");
    Write(other, precious);

    if (how == "typed-no" || how == "home-no") {
        m_prompts.answers = {false};
        Set(IDC_OUTPUT_FILE, how == "home-no" ? "~/existing.pfx" : output);
    } else if (how == "typed-yes") {
        m_prompts.answers = {true};
        Set(IDC_OUTPUT_FILE, output);
    } else if (how == "chosen" || how == "chosen-edited") {
        m_prompts.nextOutputFile = output;
        QTest::mouseClick(Button(IDC_BROWSE_OUTPUT_FILE), Qt::LeftButton);
        if (how == "chosen-edited") {
            m_prompts.answers = {false};
            Set(IDC_OUTPUT_FILE, other);
        }
    } else {
        QFile::remove(output);
        Set(IDC_OUTPUT_FILE, output);
        Set(IDC_PASSWORD, "");
        m_prompts.onQuestion = [&](const QString&) { Write(output, precious); };
    }

    m_prompts.messages.clear();
    QTest::mouseClick(Button(IDC_GENERATE), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!m_dialog->IsGenerating(), kRunTimeoutMs);

    const QString asked_about = how == "chosen-edited" ? other : output;
    const QString question = asked_about + " already exists.\nDo you want to replace it?";
    QCOMPARE(m_prompts.questions.contains(question), asked);
    if (how == "appears") {
        QCOMPARE(m_prompts.questions, QStringList{"Save the private key without a password?"});
    }
    QCOMPARE(Contents(output) != precious, replaced);
    QCOMPARE(Contents(other), precious);
    if (replaced) {
        QCOMPARE(m_prompts.messages.size(), 1);
        QCOMPARE(m_prompts.messages[0].icon, MessageIcon::Information);
    } else if (how == "appears") {
        // The library refused to replace it; what it says is shown as an error.
        QCOMPARE(m_prompts.messages.size(), 1);
        QCOMPARE(m_prompts.messages[0].icon, MessageIcon::Error);
    } else {
        // No means no run and no box: the form is as it was, for another choice.
        QVERIFY(m_prompts.messages.isEmpty());
    }
}

void TestGeneration::refusedBeforeAnyKey_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("message");  // %1: the test's folder
    const QString same =
        "The output file is the signing certificate file. Choose another file to write the new certificate "
        "to.";
    QTest::newRow("output is the signing file") << "same" << same;
    QTest::newRow("the same file, once as ~/, once as file://") << "same-shorthand" << same;
    QTest::newRow("the same file through a hard link") << "hard-link" << same;
    QTest::newRow("the same file through a symbolic link") << "symlink" << same;
    QTest::newRow("missing folder") << "missing-folder"
                                    << "The folder %1/missing does not exist.";
    QTest::newRow("folder is a file") << "file-folder"
                                      << "%1/plain is not a folder.";
    QTest::newRow("output is a folder") << "folder"
                                        << "%1 is a folder. Enter the name of a file in it.";
    QTest::newRow("folder cannot be written to") << "read-only"
                                                 << "The folder %1 cannot be written to.";
}

void TestGeneration::refusedBeforeAnyKey() {
    QFETCH(QString, how);
    QFETCH(QString, message);
    QTemporaryDir folder;
    QString root = folder.path();
    const QString signing = QDir::home().filePath("signing.pfx");
    Write(signing, "signing certificate");
    Write(folder.filePath("plain"), "a file");

    QString output;
    if (how == "same") {
        Set(IDC_SIGNING_FILE, signing);
        output = signing;
    } else if (how == "same-shorthand") {
        Set(IDC_SIGNING_FILE, "~/signing.pfx");
        output = QUrl::fromLocalFile(QDir::homePath() + "/./signing.pfx").toString();
    } else if (how == "hard-link" || how == "symlink") {
        Set(IDC_SIGNING_FILE, signing);
        output = folder.filePath("link.pfx");
        QVERIFY(how == "symlink" ? QFile::link(signing, output)
                                 : ::link(qPrintable(signing), qPrintable(output)) == 0);
    } else if (how == "missing-folder") {
        output = folder.filePath("missing/out.pfx");
    } else if (how == "file-folder") {
        output = folder.filePath("plain/out.pfx");
    } else if (how == "folder") {
        output = folder.path();
    } else {
        QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner));
        // Permissions do not stop root; a folder of the kernel's own still does.
        if (QFileInfo(folder.path()).isWritable()) {
            root = "/proc/sys";
        }
        output = root + "/out.pfx";
    }
    Set(IDC_OUTPUT_FILE, output);
    const QStringList before = QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

    QTest::mouseClick(Button(IDC_GENERATE), Qt::LeftButton);

    QVERIFY(!m_dialog->IsGenerating());
    QCOMPARE(m_prompts.messages.size(), 1);
    QCOMPARE(m_prompts.messages[0].text, message.arg(root));
    QCOMPARE(m_prompts.messages[0].icon, MessageIcon::Error);
    QVERIFY(m_prompts.questions.isEmpty());
    QCOMPARE(QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
    QCOMPARE(Contents(signing), QByteArray("signing certificate"));
    QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestGeneration::emptyPasswordIsAskedAbout_data() {
    QTest::addColumn<bool>("answer");
    QTest::newRow("No") << false;
    QTest::newRow("Yes") << true;
}

void TestGeneration::emptyPasswordIsAskedAbout() {
    QFETCH(bool, answer);
    if (answer) {
        REQUIRE(replaceSetting, "take ReplaceExisting");
    }
    const QString output = m_folder.filePath(answer ? "open.pfx" : "never.pfx");
    Set(IDC_PASSWORD, "");
    Set(IDC_OUTPUT_FILE, output);
    m_prompts.answers = {answer};
    Button(IDC_GENERATE)->setFocus();

    QTest::mouseClick(Button(IDC_GENERATE), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!m_dialog->IsGenerating(), kRunTimeoutMs);

    QCOMPARE(m_prompts.questions, QStringList{"Save the private key without a password?"});
    if (!answer) {
        QVERIFY(m_prompts.messages.isEmpty());
        QVERIFY(!QFileInfo::exists(output));
        // Back in the password field, to type one.
        QCOMPARE(QApplication::focusWidget(), m_dialog->Control(IDC_PASSWORD));
        return;
    }
    QTRY_COMPARE(m_prompts.messages.size(), 1);
    QCOMPARE(m_prompts.messages[0].icon, MessageIcon::Information);
    const QString description = Describe(output, "");
    if (description.isEmpty()) {
        QSKIP("no openssl program to read the file back");
    }
    QVERIFY2(description.contains(QRegularExpression("O ?= ?Varnock Test")), qPrintable(description));
}

void TestGeneration::authorityCheckBoxMakesACertificateAuthority_data() {
    QTest::addColumn<bool>("checked");
    QTest::newRow("checked") << true;
    QTest::newRow("unchecked") << false;
}

void TestGeneration::authorityCheckBoxMakesACertificateAuthority() {
    QFETCH(bool, checked);
    REQUIRE(replaceSetting, "take ReplaceExisting");
    REQUIRE(authoritySetting, "take CertAuthority");
    const QString output = m_folder.filePath(checked ? "ca.pfx" : "leaf.pfx");
    Set(IDC_OUTPUT_FILE, output);
    qobject_cast<QCheckBox*>(m_dialog->Control(IDC_CERT_AUTHORITY))->setChecked(checked);
    ScriptedPrompts::Message message;
    Generate(message);
    QCOMPARE(message.icon, MessageIcon::Information);
    const QString description = Describe(output, "pass");
    if (description.isEmpty()) {
        QSKIP("no openssl program to read the file back");
    }
    QCOMPARE(description.contains("CA:TRUE"), checked);
}

void TestGeneration::emptySerialNumberIsRandom() {
    REQUIRE(replaceSetting, "take ReplaceExisting");
    REQUIRE(randomSerial, "choose a random serial number for 0");
    QStringList serials;
    for (const QString name : {"first.pfx", "second.pfx"}) {
        Set(IDC_SERIAL_NUMBER, "");
        Set(IDC_OUTPUT_FILE, m_folder.filePath(name));
        ScriptedPrompts::Message message;
        Generate(message);
        QCOMPARE(message.icon, MessageIcon::Information);
        const QString description = Describe(m_folder.filePath(name), "pass");
        if (description.isEmpty()) {
            QSKIP("no openssl program to read the file back");
        }
        const QRegularExpressionMatch serial = QRegularExpression("serial=([0-9A-F]+)").match(description);
        QVERIFY(serial.hasMatch());
        serials << serial.captured(1);
    }
    QVERIFY(serials[0] != serials[1]);
    QVERIFY(!serials.contains("00"));
}

// A validity the component refuses ends the run with its words, before a key and without a file.
void TestGeneration::refusedValidityWritesNothing() {
    const QString output = m_folder.filePath("zero-days.pfx");
    Set(IDC_VALID_DAYS, "0");
    Set(IDC_OUTPUT_FILE, output);
    ScriptedPrompts::Message message;
    Generate(message);
    QCOMPARE(message.icon, MessageIcon::Error);
    QVERIFY2(message.text.startsWith("CertValidityTime must be a whole number of days"), qPrintable(message.text));
    QVERIFY(!QFileInfo::exists(output));
}

QTEST_MAIN(TestGeneration)
#include "tst_generation.moc"
