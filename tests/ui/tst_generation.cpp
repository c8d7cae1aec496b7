// SPDX-License-Identifier: Apache-2.0
// "Generate Certificate" from the form to a .pfx file, with the real certificate manager.
#include "uitesting.h"

#include "ui/maindialog.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Notes the pointer while the run reads the form, between the command and the outcome.
class ProbeDialog : public CMainDialog {
public:
    using CMainDialog::CMainDialog;
    std::optional<Qt::CursorShape> pointerDuringRun;

    std::int32_t GetKeyLengthSelection() override {
        const QCursor* pointer = QApplication::overrideCursor();
        pointerDuringRun = pointer ? std::optional(pointer->shape()) : std::nullopt;
        return CMainDialog::GetKeyLengthSelection();
    }
};

}  // namespace

class TestGeneration : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void writesSelfSignedThenIssuedCertificate();
    void wrongSigningPasswordIsReported();

private:
    void Set(int control, const QString& text) {
        qobject_cast<QLineEdit*>(m_dialog->Control(control))->setText(text);
    }
    // Runs "Generate Certificate" and gives the one message it showed.
    void Generate(ScriptedPrompts::Message& message);
    // The certificate lines of a .pfx file as OpenSSL reads them with the password.
    QString Describe(const QString& file, const QString& password);

    QTemporaryDir m_folder;
    ScriptedPrompts m_prompts;
    std::unique_ptr<ProbeDialog> m_dialog;
};

void TestGeneration::init() {
    QVERIFY(m_folder.isValid());
    m_prompts = ScriptedPrompts();
    m_dialog = std::make_unique<ProbeDialog>(nullptr, &m_prompts);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    Set(IDC_COUNTRY, "DE");
    Set(IDC_ORGANIZATION, "Varnock Test");
}

void TestGeneration::cleanup() {
    m_dialog.reset();
}

void TestGeneration::Generate(ScriptedPrompts::Message& message) {
    m_prompts.messages.clear();
    m_dialog->pointerDuringRun.reset();
    QTest::mouseClick(qobject_cast<QPushButton*>(m_dialog->Control(IDC_GENERATE)), Qt::LeftButton);
    QCOMPARE(m_prompts.messages.size(), 1);
    message = m_prompts.messages[0];
    // Busy while the form was read; back to normal before the box and after the run.
    QCOMPARE(m_dialog->pointerDuringRun, std::optional(Qt::WaitCursor));
    QVERIFY(!message.busyPointer);
    QVERIFY(QApplication::overrideCursor() == nullptr);
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
    return QString::fromUtf8(openssl.readAllStandardOutput());
}

void TestGeneration::writesSelfSignedThenIssuedCertificate() {
    const QString authority = m_folder.filePath("authority.pfx");
    Set(IDC_COMMON_NAME, "Varnock Test Authority");
    Set(IDC_PASSWORD, "authority pass");
    Set(IDC_OUTPUT_FILE, authority);
    ScriptedPrompts::Message message;
    Generate(message);
    if (QTest::currentTestFailed()) {
        return;
    }
    QCOMPARE(message.text, QStringLiteral("Certificate successfully created!"));
    QCOMPARE(message.caption, QStringLiteral("Ombrel"));
    QCOMPARE(message.icon, MessageIcon::Information);
    QVERIFY(QFileInfo(authority).size() > 0);

    const QString issued = m_folder.filePath("issued.pfx");
    Set(IDC_COMMON_NAME, "www.example.com");
    Set(IDC_PASSWORD, "issued pass");
    Set(IDC_SIGNING_FILE, authority);
    Set(IDC_SIGNING_PASSWORD, "authority pass");
    Set(IDC_OUTPUT_FILE, issued);
    Generate(message);
    if (QTest::currentTestFailed()) {
        return;
    }
    QCOMPARE(message.text, QStringLiteral("Certificate successfully created!"));
    QCOMPARE(message.icon, MessageIcon::Information);

    const QString description = Describe(issued, "issued pass");
    if (description.isEmpty()) {
        QSKIP("no openssl program to read the file back");
    }
    QVERIFY2(description.contains(QRegularExpression("subject=.*CN ?= ?www\\.example\\.com")),
             qPrintable(description));
    QVERIFY2(description.contains(QRegularExpression("issuer=.*CN ?= ?Varnock Test Authority")),
             qPrintable(description));
}

void TestGeneration::wrongSigningPasswordIsReported() {
    const QString authority = m_folder.filePath("authority.pfx");
    Set(IDC_COMMON_NAME, "Varnock Test Authority");
    Set(IDC_PASSWORD, "right");
    Set(IDC_OUTPUT_FILE, authority);
    ScriptedPrompts::Message message;
    Generate(message);
    if (QTest::currentTestFailed()) {
        return;
    }
    QCOMPARE(message.icon, MessageIcon::Information);

    const QString refused = m_folder.filePath("refused.pfx");
    Set(IDC_SIGNING_FILE, authority);
    Set(IDC_SIGNING_PASSWORD, "not-the-pw-7Q");
    Set(IDC_OUTPUT_FILE, refused);
    Generate(message);
    if (QTest::currentTestFailed()) {
        return;
    }
    QVERIFY2(message.text.endsWith(" (Wrong Password?)"), qPrintable(message.text));
    QVERIFY(message.text.size() > QStringLiteral(" (Wrong Password?)").size());
    QVERIFY(!message.text.contains("not-the-pw-7Q"));
    QCOMPARE(message.icon, MessageIcon::Error);
    QVERIFY(!QFileInfo::exists(refused));
}

QTEST_MAIN(TestGeneration)
#include "tst_generation.moc"
