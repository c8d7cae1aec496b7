// SPDX-License-Identifier: Apache-2.0
#include "ui/aboutdialog.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

class TestAboutDialog : public QObject {
    Q_OBJECT

private slots:
    void showsNameVersionIconAndNotice();
    void keysAndButtonCloseIt_data();
    void keysAndButtonCloseIt();
};

void TestAboutDialog::showsNameVersionIconAndNotice() {
    CAboutDialog about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));

    QCOMPARE(about.windowTitle(), QStringLiteral("About Ombrel"));
    QCOMPARE(about.findChild<QLabel*>("versionLabel")->text(), QStringLiteral("Ombrel Version 2.1"));
    QVERIFY(!about.findChild<QLabel*>("noticeLabel")->text().isEmpty());
    const QLabel* icon = about.findChild<QLabel*>("iconLabel");
    QCOMPARE(icon->pixmap().size(), QSize(32, 32));
    QCOMPARE(icon->size(), QSize(32, 32));
    // The OK button is the default one and the only place the focus can go.
    auto* ok = about.findChild<QPushButton*>("okButton");
    QVERIFY(ok->isDefault());
    QCOMPARE(about.focusWidget(), ok);
    QCOMPARE(about.minimumSize(), about.maximumSize());
    for (const QWidget* control : about.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QVERIFY2(about.rect().contains(control->geometry()), qPrintable(control->objectName()));
    }
}

void TestAboutDialog::keysAndButtonCloseIt_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    QTest::newRow("Enter") << int(Qt::Key_Enter) << int(QDialog::Accepted);
    QTest::newRow("Return") << int(Qt::Key_Return) << int(QDialog::Accepted);
    QTest::newRow("Escape") << int(Qt::Key_Escape) << int(QDialog::Rejected);
    QTest::newRow("Space on OK") << int(Qt::Key_Space) << int(QDialog::Accepted);
}

void TestAboutDialog::keysAndButtonCloseIt() {
    QFETCH(int, key);
    QFETCH(int, result);
    CAboutDialog about;
    about.open();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QTest::keyClick(about.focusWidget(), Qt::Key(key));
    QVERIFY(!about.isVisible());
    QCOMPARE(about.result(), result);
}

QTEST_MAIN(TestAboutDialog)
#include "tst_aboutdialog.moc"
