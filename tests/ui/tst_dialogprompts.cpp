// SPDX-License-Identifier: Apache-2.0
// The real prompts: QFileDialog with the pickers' settings, and the form's QMessageBox.
#include "uitesting.h"

#include "ui/maindialog.h"

#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class TestDialogPrompts : public QObject {
    Q_OBJECT

private slots:
    void signingPickerOpensExistingFiles();
    void outputPickerSavesWithSuffixAndConfirmation();
    void messageBoxShowsCaptionTextIconAndOneButton();
    void questionDefaultsToNo_data();
    void questionDefaultsToNo();

private:
    QTemporaryDir m_folder;
    QWidget m_owner;
};

void TestDialogPrompts::signingPickerOpensExistingFiles() {
    const QString existing = m_folder.filePath("ca.pfx");
    QFile file(existing);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QtDialogPrompts prompts;

    auto ran = WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
        QCOMPARE(dialog->nameFilters(), (QStringList{"Certificates (*.pfx *.p12)", "All Files (*)"}));
        QCOMPARE(dialog->parentWidget(), &m_owner);
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        QVERIFY(name);
        name->setText(existing);
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog hides it; it checks the name
    });
    QCOMPARE(prompts.ChooseSigningFile(&m_owner).value_or("cancelled"), existing);
    QVERIFY(*ran);

    ran = WhenModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    QCOMPARE(prompts.ChooseSigningFile(&m_owner), std::optional<QString>());
    QVERIFY(*ran);
}

void TestDialogPrompts::outputPickerSavesWithSuffixAndConfirmation() {
    QtDialogPrompts prompts;
    auto ran = WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(dialog->defaultSuffix(), QStringLiteral("pfx"));
        QCOMPARE(dialog->nameFilters(), QStringList{"Certificates (*.pfx)"});
        QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
        // Typed as a user would: selectFile() races with the folder loading in the background.
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        QVERIFY(name);
        QCOMPARE(name->text(), QStringLiteral("certificate"));
        name->setText(m_folder.filePath("new"));
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog hides it; it checks the name
    });
    // A typed name without extension gets ".pfx".
    QCOMPARE(prompts.ChooseOutputFile(&m_owner).value_or("cancelled"), m_folder.filePath("new.pfx"));
    QVERIFY(*ran);
    QVERIFY(!QFileInfo::exists(m_folder.filePath("new.pfx")));
}

void TestDialogPrompts::messageBoxShowsCaptionTextIconAndOneButton() {
    CMainDialog form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    const auto ran = WhenModal<QMessageBox>([&](QMessageBox* box) {
        QCOMPARE(box->windowTitle(), QStringLiteral("Ombrel"));
        QCOMPARE(box->text(), QStringLiteral("Enter an output certificate file."));
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QCOMPARE(box->buttons().size(), 1);
        QCOMPARE(box->standardButtons(), QMessageBox::Ok);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->parentWidget(), &form);
        box->button(QMessageBox::Ok)->click();
    });
    QTest::mouseClick(qobject_cast<QPushButton*>(form.Control(IDC_GENERATE)), Qt::LeftButton);
    QVERIFY(*ran);
    QVERIFY(form.isVisible());
}

void TestDialogPrompts::questionDefaultsToNo_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("answer");
    QTest::newRow("Enter") << "enter" << false;
    QTest::newRow("Escape") << "escape" << false;
    QTest::newRow("Yes clicked") << "yes" << true;
}

void TestDialogPrompts::questionDefaultsToNo() {
    QFETCH(QString, how);
    QFETCH(bool, answer);
    QtDialogPrompts prompts;
    const auto ran = WhenModal<QMessageBox>([&](QMessageBox* box) {
        QCOMPARE(box->windowTitle(), QStringLiteral("Ombrel"));
        QCOMPARE(box->text(), QStringLiteral("Save the private key without a password?"));
        QCOMPARE(box->icon(), QMessageBox::Question);
        QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
        QCOMPARE(box->parentWidget(), &m_owner);
        if (how == "enter") {
            QTest::keyClick(box, Qt::Key_Return);
        } else if (how == "escape") {
            QTest::keyClick(box, Qt::Key_Escape);
        } else {
            box->button(QMessageBox::Yes)->click();
        }
    });
    QCOMPARE(prompts.AskYesNo(&m_owner, "Save the private key without a password?", "Ombrel"), answer);
    QVERIFY(*ran);
}

QTEST_MAIN(TestDialogPrompts)
#include "tst_dialogprompts.moc"
