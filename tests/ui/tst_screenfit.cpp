// SPDX-License-Identifier: Apache-2.0
// The main window on a 1920 x 1080 screen at twice the scale: 960 x 540 pixels for the program,
// too little for the form at the desktop font. It must stay on the screen, with Generate and
// Close in view and every control reachable.
#include "uitesting.h"

#include "ui/maindialog.h"

#include <QAbstractScrollArea>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

class TestScreenFit : public QObject {
    Q_OBJECT

private slots:
    void screenIsTwiceScaledFullHd();
    void dialogFitsWithButtonsInView();
};

void TestScreenFit::screenIsTwiceScaledFullHd() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    QCOMPARE(screen->devicePixelRatio(), 2.0);
    QCOMPARE(screen->geometry(), QRect(0, 0, 960, 540));
}

void TestScreenFit::dialogFitsWithButtonsInView() {
    ScriptedPrompts prompts;
    CMainDialog dialog(nullptr, &prompts);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QVERIFY(dialog.screen()->availableGeometry().contains(dialog.frameGeometry()));
    QVERIFY(dialog.findChild<QAbstractScrollArea*>("formScrollArea"));
    for (const int button : {int(IDC_GENERATE), 2, 3}) {
        QWidget* control = dialog.Control(button);
        QCOMPARE(control->visibleRegion().boundingRect(), control->rect());
        QVERIFY(dialog.rect().contains(QRect(control->mapTo(&dialog, QPoint()), control->size())));
    }

    // Tab visits every control, and each one it reaches scrolls into view.
    dialog.Control(IDC_COUNTRY)->setFocus();
    QList<int> visited;
    for (int i = 0; i < 21; ++i) {
        QWidget* focused = QApplication::focusWidget();
        visited << focused->property("controlId").toInt();
        QVERIFY2(!focused->visibleRegion().isEmpty(), qPrintable(focused->objectName()));
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    QCOMPARE(visited, (QList<int>{1006, 1008, 1007, 1009, 1010, 1005, 1003, 1004, 1013, 1014, 1017,
                                  1001, 1002, 1015, 1011, 1012, 1000, 2,    1016, 3,    1006}));
}

int main(int argc, char* argv[]) {
    QTemporaryDir folder;
    const QString config = folder.filePath("screens.json");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
        return 1;
    }
    file.write(R"({"screens": [{"name": "full-hd", "x": 0, "y": 0, "width": 1920, "height": 1080,
                                "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestScreenFit test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screenfit.moc"
