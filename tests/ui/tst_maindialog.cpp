// SPDX-License-Identifier: Apache-2.0
#include "uitesting.h"

#include "core/certrequest.h"
#include "ui/aboutdialog.h"
#include "ui/filepaths.h"
#include "ui/linklabel.h"
#include "ui/maindialog.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include <algorithm>

class TestMainDialog : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensWithDefaults();
    void windowKeepsTemplateArrangement_data();
    void windowKeepsTemplateArrangement();
    void formAccessReadsControlsByNumber();
    void digitsFieldsTakeOnlyDigits_data();
    void digitsFieldsTakeOnlyDigits();
    void passwordFieldsMaskTheirText_data();
    void passwordFieldsMaskTheirText();
    void tabOrderFollowsTemplate();
    void escapeCloseAndCloseRequestCancel_data();
    void escapeCloseAndCloseRequestCancel();
    void enterInAFieldKeepsDialogAndContents_data();
    void enterInAFieldKeepsDialogAndContents();
    void enterOnFocusedButtonRunsIt_data();
    void enterOnFocusedButtonRunsIt();
    void filePickerChoiceReplacesFieldCancelKeepsIt_data();
    void filePickerChoiceReplacesFieldCancelKeepsIt();
    void aboutOpensAndClosesKeepingTheForm_data();
    void aboutOpensAndClosesKeepingTheForm();
    void f1ShowsHelpWithoutAnError();
    void screenReadersNameEveryControl_data();
    void screenReadersNameEveryControl();
    void mnemonicsAreDistinctAndFocusTheirControl();
    void passwordFieldsShowAndHideOnRequest_data();
    void passwordFieldsShowAndHideOnRequest();
    void typedPathsAreExpanded_data();
    void typedPathsAreExpanded();

private:
    QLineEdit* Field(int control) { return qobject_cast<QLineEdit*>(m_dialog->Control(control)); }
    void FillSubject();

    ScriptedPrompts m_prompts;
    std::unique_ptr<CMainDialog> m_dialog;
};

void TestMainDialog::init() {
    m_prompts = ScriptedPrompts();
    m_dialog = std::make_unique<CMainDialog>(nullptr, &m_prompts);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
}

void TestMainDialog::cleanup() {
    m_dialog.reset();
}

void TestMainDialog::FillSubject() {
    QTest::keyClicks(Field(IDC_COUNTRY), "DE");
    QTest::keyClicks(Field(IDC_COMMON_NAME), "www.example.com");
    QTest::keyClicks(Field(IDC_SIGNING_FILE), "/tmp/typed.pfx");
}

void TestMainDialog::opensWithDefaults() {
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Ombrel"));
    auto* list = qobject_cast<QComboBox*>(m_dialog->Control(IDC_KEY_LENGTH));
    QStringList entries;
    for (int i = 0; i < list->count(); ++i) {
        entries << list->itemText(i);
    }
    QCOMPARE(entries, (QStringList{"1024", "2048", "3072", "4096"}));
    QCOMPARE(list->currentText(), QStringLiteral("2048"));
    QVERIFY(!list->isEditable());
    QCOMPARE(Field(IDC_VALID_DAYS)->text(), QStringLiteral("365"));
    // Left empty, the serial number is read as 0, which has the library pick a random one.
    QCOMPARE(Field(IDC_SERIAL_NUMBER)->placeholderText(), QStringLiteral("random"));
    QCOMPARE(m_dialog->GetDlgItemInt(IDC_SERIAL_NUMBER), 0u);
    QVERIFY(!qobject_cast<QCheckBox*>(m_dialog->Control(IDC_CERT_AUTHORITY))->isChecked());
    for (const int control :
         {IDC_COUNTRY, IDC_STATE, IDC_CITY, IDC_ORGANIZATION, IDC_ORGANIZATIONAL_UNIT, IDC_COMMON_NAME,
          IDC_SERIAL_NUMBER, IDC_PASSWORD, IDC_SIGNING_FILE, IDC_SIGNING_PASSWORD, IDC_OUTPUT_FILE}) {
        QVERIFY2(Field(control)->text().isEmpty(), qPrintable(QString::number(control)));
    }
    QCOMPARE(QApplication::focusWidget(), Field(IDC_COUNTRY));
    QCOMPARE(m_dialog->LinkLabel()->text(), QStringLiteral("(https://www.varnock.example)"));
    QCOMPARE(m_dialog->LinkLabel()->Address(), QStringLiteral("https://www.varnock.example"));
    for (QPushButton* button : m_dialog->findChildren<QPushButton*>()) {
        QVERIFY2(!button->isDefault() && !button->autoDefault(), qPrintable(button->text()));
    }
}

void TestMainDialog::windowKeepsTemplateArrangement_data() {
    QTest::addColumn<int>("pixelSize");  // 0: the desktop's font as it is
    QTest::addColumn<bool>("scrolls");
    QTest::newRow("desktop font") << 0 << false;
    // The offscreen screen is 800 x 600: a template this large does not fit it.
    QTest::newRow("large font") << 22 << true;
}

void TestMainDialog::windowKeepsTemplateArrangement() {
    QFETCH(int, pixelSize);
    QFETCH(bool, scrolls);
    const QFont desktop = QApplication::font();
    const auto restoreFont = qScopeGuard([&] { QApplication::setFont(desktop); });
    if (pixelSize > 0) {
        QFont large = desktop;
        large.setPixelSize(pixelSize);
        QApplication::setFont(large);
    }
    CMainDialog dialog(nullptr, &m_prompts);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    const Qt::WindowFlags flags = dialog.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(!flags.testFlag(Qt::WindowSystemMenuHint));
    QVERIFY(!flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    const QRect screen = dialog.screen()->availableGeometry();
    QVERIFY(screen.contains(dialog.frameGeometry()));

    // The form keeps the template: 310 dialog units across, at least a character per four units.
    auto* form = dialog.findChild<QWidget*>("formContent");
    QCOMPARE(form != nullptr, scrolls);
    if (!form) {
        form = &dialog;
    }
    const QFontMetrics metrics(dialog.font());
    QVERIFY(form->width() >= 310 * metrics.averageCharWidth() / 4 - 1);
    if (!scrolls) {
        // 344 units down, a line per eight; centred on the screen.
        QVERIFY(dialog.height() >= 344 * metrics.height() / 8 - 1);
        QVERIFY(qAbs(dialog.frameGeometry().center().x() - screen.center().x()) <= 1);
    }
    // Generate, Close and About stay in the window, wholly visible.
    for (const int button : {int(IDC_GENERATE), 2, 3}) {
        QWidget* control = dialog.Control(button);
        QCOMPARE(control->visibleRegion().boundingRect(), control->rect());
        QVERIFY(dialog.rect().contains(QRect(control->mapTo(&dialog, QPoint()), control->size())));
    }

    // Everything but the buttons moved into the form.
    if (scrolls) {
        for (QWidget* control : dialog.findChildren<QWidget*>()) {
            if (control->property("controlId").isValid() || qobject_cast<QLabel*>(control)) {
                const bool button = control->parentWidget() == &dialog;
                QCOMPARE(button, qobject_cast<QPushButton*>(control) != nullptr &&
                                     control != dialog.Control(IDC_BROWSE_SIGNING_FILE) &&
                                     control != dialog.Control(IDC_BROWSE_OUTPUT_FILE));
                QVERIFY2(button || form->isAncestorOf(control), qPrintable(control->objectName()));
            }
        }
    }
    // Every control lies inside the form, each one that takes input is on top where it lies
    // (no group box covers it), and every label shows its whole text.
    for (QWidget* control : form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QString name = control->objectName();
        if (control->isWindow() || name == "formScrollArea") {
            continue;
        }
        QVERIFY2(form->rect().contains(control->geometry()), qPrintable(name));
        if (control->focusPolicy() != Qt::NoFocus) {
            QWidget* top = form->childAt(control->geometry().center());
            QVERIFY2(top == control || control->isAncestorOf(top), qPrintable(name));
        }
        if (auto* label = qobject_cast<QLabel*>(control); label && !label->text().isEmpty()) {
            // The "&" of a mnemonic is not drawn.
            const int needed = label->fontMetrics().horizontalAdvance(QString(label->text()).remove('&'));
            QVERIFY2(needed <= label->contentsRect().width(), qPrintable(name));
        }
    }
    // Rows of the template stay rows: the three first fields share their top edge, left to right.
    const auto field = [&](int control) { return dialog.Control(control)->geometry(); };
    QCOMPARE(field(IDC_STATE).y(), field(IDC_COUNTRY).y());
    QCOMPARE(field(IDC_CITY).y(), field(IDC_COUNTRY).y());
    QVERIFY(field(IDC_COUNTRY).right() < field(IDC_STATE).x());
    QVERIFY(field(IDC_STATE).right() < field(IDC_CITY).x());
    // The authority check box sits in Misc Options, under the key length, above the signing group.
    QVERIFY(field(IDC_CERT_AUTHORITY).top() > field(IDC_KEY_LENGTH).bottom());
    QVERIFY(field(IDC_CERT_AUTHORITY).bottom() < dialog.findChild<QWidget*>("signingGroup")->y());
    QVERIFY(dialog.findChild<QWidget*>("miscGroup")->geometry().contains(field(IDC_CERT_AUTHORITY)));

    if (scrolls) {
        // A control at the foot of the form scrolls into view when it gets the focus.
        // (A field wider than the window shows its start.)
        QWidget* output = dialog.Control(IDC_OUTPUT_FILE);
        QVERIFY(output->visibleRegion().isEmpty());
        output->setFocus();
        QTRY_VERIFY(output->visibleRegion().boundingRect().contains(QRect(0, 0, 50, output->height())));
    }
}

void TestMainDialog::formAccessReadsControlsByNumber() {
    const QList<std::pair<int, QString>> typed = {{IDC_COUNTRY, "CH"},
                                                  {IDC_CITY, "Winterthur"},
                                                  {IDC_ORGANIZATION, "Acme, Inc"},
                                                  {IDC_ORGANIZATIONAL_UNIT, "R&D"},
                                                  {IDC_COMMON_NAME, "www.acme.example"},
                                                  {IDC_PASSWORD, "out pass"},
                                                  {IDC_OUTPUT_FILE, "/tmp/out.pfx"},
                                                  {IDC_SIGNING_FILE, "/tmp/ca.pfx"},
                                                  {IDC_SIGNING_PASSWORD, "ca pass"}};
    for (const auto& [control, text] : typed) {
        QTest::keyClicks(Field(control), text);
    }
    // Typing goes through ASCII key codes only; the UTF-8 read is what matters here.
    Field(IDC_STATE)->setText(QStringLiteral("Zürich"));
    Field(IDC_VALID_DAYS)->setText("730");
    Field(IDC_SERIAL_NUMBER)->setText("4294967295");
    qobject_cast<QComboBox*>(m_dialog->Control(IDC_KEY_LENGTH))->setCurrentIndex(3);

    const CertRequest request = ReadCertRequest(*m_dialog);
    QCOMPARE(request.country, std::string("CH"));
    QCOMPARE(request.state, std::string("Z\xc3\xbcrich"));
    QCOMPARE(request.city, std::string("Winterthur"));
    QCOMPARE(request.organization, std::string("Acme, Inc"));
    QCOMPARE(request.organizationalUnit, std::string("R&D"));
    QCOMPARE(request.commonName, std::string("www.acme.example"));
    QCOMPARE(request.password, std::string("out pass"));
    QCOMPARE(request.outputFile, std::string("/tmp/out.pfx"));
    QCOMPARE(request.signingFile, std::string("/tmp/ca.pfx"));
    QCOMPARE(request.signingPassword, std::string("ca pass"));
    QCOMPARE(request.validDays, 730u);
    QCOMPARE(request.serialNumber, 4294967295u);
    QCOMPARE(request.keyLength, 4096);

    QCOMPARE(m_dialog->GetDlgItemText(IDC_GENERATE), std::string("&Generate Certificate"));
    QCOMPARE(m_dialog->GetDlgItemText(4242), std::string());
    Field(IDC_SERIAL_NUMBER)->setText("4294967296");
    QCOMPARE(m_dialog->GetDlgItemInt(IDC_SERIAL_NUMBER), 0u);
}

void TestMainDialog::digitsFieldsTakeOnlyDigits_data() {
    QTest::addColumn<int>("control");
    QTest::newRow("Valid For") << int(IDC_VALID_DAYS);
    QTest::newRow("Serial Number") << int(IDC_SERIAL_NUMBER);
}

void TestMainDialog::digitsFieldsTakeOnlyDigits() {
    QFETCH(int, control);
    QLineEdit* field = Field(control);
    field->clear();
    QTest::keyClicks(field, "4a2-7 x+9");
    QCOMPARE(field->text(), QStringLiteral("4279"));
}

void TestMainDialog::passwordFieldsMaskTheirText_data() {
    QTest::addColumn<int>("control");
    QTest::newRow("output password") << int(IDC_PASSWORD);
    QTest::newRow("signing password") << int(IDC_SIGNING_PASSWORD);
}

void TestMainDialog::passwordFieldsMaskTheirText() {
    QFETCH(int, control);
    QTest::keyClicks(Field(control), "s3cret");
    QCOMPARE(Field(control)->echoMode(), QLineEdit::Password);
    QVERIFY(!Field(control)->displayText().contains("s3cret"));
    QCOMPARE(m_dialog->GetDlgItemText(control), std::string("s3cret"));
}

void TestMainDialog::tabOrderFollowsTemplate() {
    const QList<int> expected = {1006, 1008, 1007, 1009, 1010, 1005, 1003, 1004, 1013, 1014, 1017,
                                 1001, 1002, 1015, 1011, 1012, 1000, 2,    1016, 3,    1006};
    QList<int> visited;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->property("controlId").toInt();
    }
    QCOMPARE(visited, expected.mid(1) + QList<int>{1008});
}

void TestMainDialog::escapeCloseAndCloseRequestCancel_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Escape") << "escape";
    QTest::newRow("Close button") << "button";
    QTest::newRow("window manager's close request") << "close";
}

void TestMainDialog::escapeCloseAndCloseRequestCancel() {
    QFETCH(QString, how);
    m_dialog->setResult(-1);
    if (how == "escape") {
        QTest::keyClick(Field(IDC_COMMON_NAME), Qt::Key_Escape);
    } else if (how == "button") {
        QTest::mouseClick(qobject_cast<QPushButton*>(m_dialog->Control(2)), Qt::LeftButton);
    } else {
        m_dialog->close();
    }
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
}

void TestMainDialog::enterInAFieldKeepsDialogAndContents_data() {
    QTest::addColumn<int>("control");
    QTest::addColumn<int>("key");
    QTest::newRow("country, Return") << int(IDC_COUNTRY) << int(Qt::Key_Return);
    QTest::newRow("common name, Enter") << int(IDC_COMMON_NAME) << int(Qt::Key_Enter);
    QTest::newRow("validity, Return") << int(IDC_VALID_DAYS) << int(Qt::Key_Return);
    QTest::newRow("password, Return") << int(IDC_PASSWORD) << int(Qt::Key_Return);
    QTest::newRow("signing file, Return") << int(IDC_SIGNING_FILE) << int(Qt::Key_Return);
    QTest::newRow("output file, Enter") << int(IDC_OUTPUT_FILE) << int(Qt::Key_Enter);
    QTest::newRow("key-length list, Return") << int(IDC_KEY_LENGTH) << int(Qt::Key_Return);
}

void TestMainDialog::enterInAFieldKeepsDialogAndContents() {
    QFETCH(int, control);
    QFETCH(int, key);
    FillSubject();
    QWidget* target = m_dialog->Control(control);
    target->setFocus();
    const CertRequest before = ReadCertRequest(*m_dialog);

    QTest::keyClick(target, Qt::Key(key));

    QVERIFY(m_dialog->isVisible());
    QCOMPARE(QApplication::focusWidget(), target);
    const CertRequest after = ReadCertRequest(*m_dialog);
    QCOMPARE(after.country, before.country);
    QCOMPARE(after.commonName, before.commonName);
    QCOMPARE(after.signingFile, before.signingFile);
    QCOMPARE(after.keyLength, before.keyLength);
    // No button ran on the field's behalf.
    QCOMPARE(m_prompts.signingPickers + m_prompts.outputPickers, 0);
    QVERIFY(m_prompts.messages.isEmpty());
}

void TestMainDialog::enterOnFocusedButtonRunsIt_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("signingPickers");
    QTest::addColumn<int>("outputPickers");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("open");
    QTest::newRow("Generate Certificate")
        << int(IDC_GENERATE) << 0 << 0 << "Enter an output certificate file." << true;
    QTest::newRow("signing ...") << int(IDC_BROWSE_SIGNING_FILE) << 1 << 0 << QString() << true;
    QTest::newRow("output ...") << int(IDC_BROWSE_OUTPUT_FILE) << 0 << 1 << QString() << true;
    QTest::newRow("Close") << 2 << 0 << 0 << QString() << false;
}

void TestMainDialog::enterOnFocusedButtonRunsIt() {
    QFETCH(int, button);
    QFETCH(int, signingPickers);
    QFETCH(int, outputPickers);
    QFETCH(QString, message);
    QFETCH(bool, open);
    QWidget* target = m_dialog->Control(button);
    target->setFocus();

    QTest::keyClick(target, Qt::Key_Return);

    QCOMPARE(m_prompts.signingPickers, signingPickers);
    QCOMPARE(m_prompts.outputPickers, outputPickers);
    QCOMPARE(m_prompts.messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty()) {
        QCOMPARE(m_prompts.messages[0].text, message);
        QCOMPARE(m_prompts.messages[0].caption, QStringLiteral("Ombrel"));
        QCOMPARE(m_prompts.messages[0].icon, MessageIcon::Error);
        QCOMPARE(m_prompts.messages[0].owner, m_dialog.get());
    }
    QCOMPARE(m_dialog->isVisible(), open);
}

void TestMainDialog::filePickerChoiceReplacesFieldCancelKeepsIt_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("field");
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<QString>("expected");
    const std::optional<QString> cancel;
    QTest::newRow("signing, cancelled")
        << int(IDC_BROWSE_SIGNING_FILE) << int(IDC_SIGNING_FILE) << cancel << "typed";
    QTest::newRow("signing, chosen") << int(IDC_BROWSE_SIGNING_FILE) << int(IDC_SIGNING_FILE)
                                     << std::optional<QString>("/home/u/ca.pfx") << "/home/u/ca.pfx";
    QTest::newRow("output, cancelled")
        << int(IDC_BROWSE_OUTPUT_FILE) << int(IDC_OUTPUT_FILE) << cancel << "typed";
    QTest::newRow("output, chosen") << int(IDC_BROWSE_OUTPUT_FILE) << int(IDC_OUTPUT_FILE)
                                    << std::optional<QString>("/home/u/new.pfx") << "/home/u/new.pfx";
}

void TestMainDialog::filePickerChoiceReplacesFieldCancelKeepsIt() {
    QFETCH(int, button);
    QFETCH(int, field);
    QFETCH(std::optional<QString>, answer);
    QFETCH(QString, expected);
    m_prompts.nextSigningFile = answer;
    m_prompts.nextOutputFile = answer;
    QTest::keyClicks(Field(field), "typed");

    QTest::mouseClick(qobject_cast<QPushButton*>(m_dialog->Control(button)), Qt::LeftButton);

    QCOMPARE(m_prompts.signingPickers + m_prompts.outputPickers, 1);
    QCOMPARE(Field(field)->text(), expected);
}

void TestMainDialog::aboutOpensAndClosesKeepingTheForm_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    QTest::newRow("Enter") << int(Qt::Key_Return) << int(QDialog::Accepted);
    QTest::newRow("Escape") << int(Qt::Key_Escape) << int(QDialog::Rejected);
}

void TestMainDialog::aboutOpensAndClosesKeepingTheForm() {
    QFETCH(int, key);
    QFETCH(int, result);
    FillSubject();
    auto* about = qobject_cast<QPushButton*>(m_dialog->Control(3));

    // Twice: each press opens a fresh dialog, gone again once it is closed.
    for (int round = 0; round < 2; ++round) {
        int closedWith = -1;
        const auto ran = WhenModal<CAboutDialog>([&](CAboutDialog* shown) {
            QCOMPARE(shown->parentWidget(), m_dialog.get());
            QCOMPARE(shown->findChild<QLabel*>("versionLabel")->text(), QStringLiteral("Ombrel Version 2.1"));
            connect(shown, &QDialog::finished, [&](int code) { closedWith = code; });
            QTest::keyClick(shown->focusWidget(), Qt::Key(key));
        });
        QTest::mouseClick(about, Qt::LeftButton);
        QVERIFY(*ran);
        QCOMPARE(closedWith, result);
        QVERIFY(m_dialog->findChildren<CAboutDialog*>().isEmpty());
    }
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(Field(IDC_COUNTRY)->text(), QStringLiteral("DE"));
    QCOMPARE(Field(IDC_COMMON_NAME)->text(), QStringLiteral("www.example.com"));
    QCOMPARE(Field(IDC_SIGNING_FILE)->text(), QStringLiteral("/tmp/typed.pfx"));
}

void TestMainDialog::f1ShowsHelpWithoutAnError() {
    QTest::keyClick(Field(IDC_COUNTRY), Qt::Key_F1);
    QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
    QVERIFY(m_prompts.messages.isEmpty());
    QVERIFY(m_dialog->isVisible());
}

void TestMainDialog::screenReadersNameEveryControl_data() {
    QTest::addColumn<int>("control");
    QTest::addColumn<QString>("name");
    QTest::newRow("country") << int(IDC_COUNTRY) << "Country (C)";
    QTest::newRow("state") << int(IDC_STATE) << "State (ST)";
    QTest::newRow("city") << int(IDC_CITY) << "City (L)";
    QTest::newRow("organization") << int(IDC_ORGANIZATION) << "Organization (O)";
    QTest::newRow("unit") << int(IDC_ORGANIZATIONAL_UNIT) << "Organizational Unit (OU)";
    QTest::newRow("common name") << int(IDC_COMMON_NAME)
                                 << "Common Name (CN) (for web site use domain name - ie. www.example.com)";
    QTest::newRow("key length") << int(IDC_KEY_LENGTH) << "Public Key Length";
    QTest::newRow("validity") << int(IDC_VALID_DAYS) << "Valid For";
    QTest::newRow("serial") << int(IDC_SERIAL_NUMBER) << "Serial Number";
    QTest::newRow("password") << int(IDC_PASSWORD) << "Password";
    QTest::newRow("authority") << int(IDC_CERT_AUTHORITY)
                               << "Can sign other certificates (certificate authority)";
    QTest::newRow("signing file") << int(IDC_SIGNING_FILE)
                                  << "Select a certificate to sign the generated one with";
    QTest::newRow("signing browse") << int(IDC_BROWSE_SIGNING_FILE) << "Browse for a signing certificate";
    QTest::newRow("signing password") << int(IDC_SIGNING_PASSWORD) << "Signing certificate password";
    QTest::newRow("output file") << int(IDC_OUTPUT_FILE) << "Select a file to write the certificate to";
    QTest::newRow("output browse") << int(IDC_BROWSE_OUTPUT_FILE) << "Choose the output file";
    QTest::newRow("generate") << int(IDC_GENERATE) << "Generate Certificate";
    QTest::newRow("close") << 2 << "Close";
    QTest::newRow("about") << 3 << "About...";
    QTest::newRow("link") << int(IDC_LINK_LABEL) << "(https://www.varnock.example)";
}

void TestMainDialog::screenReadersNameEveryControl() {
    QFETCH(int, control);
    QFETCH(QString, name);
    QWidget* widget = m_dialog->Control(control);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    QVERIFY(accessible);
    if (qobject_cast<QComboBox*>(widget)) {
        // Here a drop-down list's name is its value; its label reaches screen readers as the
        // "labelled by" relation.
        QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("2048"));
        const auto labels = accessible->relations(QAccessible::Label);
        QVERIFY(std::any_of(labels.begin(), labels.end(), [&](const auto& relation) {
            return relation.first->text(QAccessible::Name) == name;
        }));
    } else {
        QCOMPARE(accessible->text(QAccessible::Name), name);
    }
    // The What's This text doubles as the description a screen reader offers.
    QCOMPARE(accessible->text(QAccessible::Description).isEmpty(), widget->whatsThis().isEmpty());
    if (!widget->whatsThis().isEmpty()) {
        QCOMPARE(accessible->text(QAccessible::Description), widget->whatsThis());
    }
    // A field's label is its buddy, so the label's mnemonic reaches it.
    if (qobject_cast<QLineEdit*>(widget) || qobject_cast<QComboBox*>(widget)) {
        const QList<QLabel*> labels = m_dialog->findChildren<QLabel*>();
        QVERIFY(std::any_of(labels.begin(), labels.end(),
                            [&](QLabel* label) { return label->buddy() == widget; }));
    }
}

void TestMainDialog::mnemonicsAreDistinctAndFocusTheirControl() {
    QMap<QKeySequence, QString> taken;
    QList<std::pair<QKeySequence, QWidget*>> targets;
    const auto take = [&](const QString& text, QWidget* target) {
        const QKeySequence key = QKeySequence::mnemonic(text);
        QVERIFY2(!key.isEmpty(), qPrintable(text));
        QVERIFY2(!taken.contains(key), qPrintable(text + " clashes with " + taken.value(key)));
        taken.insert(key, text);
        targets.append({key, target});
    };
    for (QLabel* label : m_dialog->findChildren<QLabel*>()) {
        if (label->text().contains('&')) {
            QVERIFY2(label->buddy(), qPrintable(label->text()));
            take(label->text(), label->buddy());
        }
    }
    for (QAbstractButton* button : m_dialog->findChildren<QAbstractButton*>()) {
        if (button->text().contains('&')) {
            take(button->text(), button);
        }
    }
    QVERIFY(targets.size() >= 17);

    // Each field's letter moves the focus to it; a button's letter does not run the button
    // here (About would open a modal window), so fields only.
    for (const auto& [key, target] : targets) {
        if (qobject_cast<QAbstractButton*>(target)) {
            continue;
        }
        Field(IDC_COUNTRY)->setFocus();
        const QKeyCombination combination = key[0];
        QTest::keyClick(m_dialog.get(), combination.key(), combination.keyboardModifiers());
        QVERIFY2(QApplication::focusWidget() == target, qPrintable(key.toString()));
    }
}

void TestMainDialog::passwordFieldsShowAndHideOnRequest_data() {
    QTest::addColumn<int>("control");
    QTest::newRow("output password") << int(IDC_PASSWORD);
    QTest::newRow("signing password") << int(IDC_SIGNING_PASSWORD);
}

void TestMainDialog::passwordFieldsShowAndHideOnRequest() {
    QFETCH(int, control);
    QLineEdit* field = Field(control);
    QTest::keyClicks(field, "s3cret");
    QToolButton* reveal = field->findChild<QToolButton*>();
    QVERIFY(reveal);
    QVERIFY(reveal->isVisible());
    QVERIFY(!reveal->icon().isNull());
    const auto name = [&] { return QAccessible::queryAccessibleInterface(reveal)->text(QAccessible::Name); };
    QCOMPARE(name(), QStringLiteral("Show password"));

    QTest::mouseClick(reveal, Qt::LeftButton);
    QCOMPARE(field->echoMode(), QLineEdit::Normal);
    QCOMPARE(field->displayText(), QStringLiteral("s3cret"));
    QCOMPARE(name(), QStringLiteral("Hide password"));

    QTest::mouseClick(reveal, Qt::LeftButton);
    QCOMPARE(field->echoMode(), QLineEdit::Password);
    QVERIFY(!field->displayText().contains("s3cret"));
    QCOMPARE(name(), QStringLiteral("Show password"));

    // The same from the keyboard, in the field itself.
    field->setFocus();
    QTest::keyClick(field, Qt::Key_F8, Qt::AltModifier);
    QCOMPARE(field->echoMode(), QLineEdit::Normal);
    QTest::keyClick(field, Qt::Key_F8, Qt::AltModifier);
    QCOMPARE(field->echoMode(), QLineEdit::Password);
}

void TestMainDialog::typedPathsAreExpanded_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("path");  // "~" and "~/" stand for the home folder here
    QTest::newRow("home") << "~"
                          << "~";
    QTest::newRow("in home") << "~/certs/a.pfx"
                             << "~/certs/a.pfx";
    QTest::newRow("another user's home is not guessed") << "~bob/a.pfx"
                                                        << "~bob/a.pfx";
    QTest::newRow("file URL") << "file:///tmp/my%20certs/a.pfx"
                              << "/tmp/my certs/a.pfx";
    QTest::newRow("file URL, capitals") << "FILE:///tmp/a.pfx"
                                        << "/tmp/a.pfx";
    QTest::newRow("file URL of another host") << "file://server/a.pfx"
                                              << "file://server/a.pfx";
    QTest::newRow("file: without slashes is a name") << "file:a.pfx"
                                                     << "file:a.pfx";
    QTest::newRow("absolute") << "/tmp/a.pfx"
                              << "/tmp/a.pfx";
    QTest::newRow("relative") << "a.pfx"
                              << "a.pfx";
    QTest::newRow("blanks") << "   "
                            << "   ";
}

void TestMainDialog::typedPathsAreExpanded() {
    QFETCH(QString, typed);
    QFETCH(QString, path);
    if (path == "~" || path.startsWith("~/")) {
        path = QDir::homePath() + path.mid(1);
    }
    QCOMPARE(ExpandTypedPath(typed), path);
}

QTEST_MAIN(TestMainDialog)
#include "tst_maindialog.moc"
