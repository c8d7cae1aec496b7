// SPDX-License-Identifier: Apache-2.0
#include "ui/desktoplink.h"
#include "ui/linkaccessible.h"
#include "ui/linklabel.h"

#include <QAccessible>
#include <QLineEdit>

#include <QApplication>
#include <QFileInfo>
#include <QHelpEvent>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <optional>

namespace {

// Answers the label's desktop requests from a script and records what it was asked.
class ScriptedServices : public LinkServices {
public:
    int openResult = kOpenSucceeded;
    std::optional<QString> handlerCommand;
    int startResult = kOpenSucceeded;

    QStringList openedAddresses;
    QStringList started;
    int beeps = 0;
    QStringList errors;
    QString errorCaption;
    QWidget* errorOwner = nullptr;

    int OpenWithDefaultHandler(const QString& address) override {
        openedAddresses << address;
        return openResult;
    }
    std::optional<QString> DefaultHtmlHandlerCommand() override { return handlerCommand; }
    int StartDetached(const QString& program, const QStringList& arguments) override {
        started = QStringList{program} + arguments;
        return startResult;
    }
    void Beep() override { ++beeps; }
    void ShowOpenError(QWidget* owner, const QString& caption, const QString& text) override {
        errorOwner = owner;
        errorCaption = caption;
        errors << text;
    }
};

const QString kAddress = QStringLiteral("https://www.varnock.example/");

// Pixels of exactly this colour: the inside of a glyph stroke or the underline.
int CountColour(const QImage& image, QColor colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixelColor(x, y).rgb() == colour.rgb();
        }
    }
    return count;
}

// An underline is one row in the colour across most of the caption.
bool HasUnderline(const QImage& image, QColor colour, int textWidth) {
    for (int y = 0; y < image.height(); ++y) {
        int run = 0;
        for (int x = 0; x < image.width(); ++x) {
            run += image.pixelColor(x, y).rgb() == colour.rgb();
        }
        if (run >= textWidth * 9 / 10) {
            return true;
        }
    }
    return false;
}

}  // namespace

class TestLinkLabel : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void tooltipShowsAddressOverAHandPointer();
    void hoverUnderlinesAndLeavesOnATickOutside();
    void coloursComeFromThePaletteAndStayReadable_data();
    void coloursComeFromThePaletteAndStayReadable();
    void keyboardReachesAndOpensIt_data();
    void keyboardReachesAndOpensIt();
    void screenReadersSeeALink();
    void staysHoveredWhilePointerInside();
    void successfulOpenShowsVisitedColour();
    void failedOpenBeepsAndExplains_data();
    void failedOpenBeepsAndExplains();
    void failureAfterSuccessClearsVisited();
    void openFallsBackToBrowserCommand_data();
    void openFallsBackToBrowserCommand();
    void browserArguments_data();
    void browserArguments();
    void execLineOfDesktopEntry_data();
    void execLineOfDesktopEntry();
    void fitToText_data();
    void fitToText();

private:
    QImage Shot() { return m_label->grab().toImage(); }
    int TextWidth() const { return QFontMetrics(m_label->font()).horizontalAdvance(m_label->text()); }
    void Hover() { QTest::mouseMove(m_label, m_label->rect().center()); }

    QWidget* m_host = nullptr;
    CLinkLabel* m_label = nullptr;
    ScriptedServices m_services;
};

void TestLinkLabel::init() {
    m_services = ScriptedServices();
    m_host = new QWidget;
    m_host->resize(400, 120);
    m_label = new CLinkLabel(m_host);
    // Large enough that glyph strokes hold pixels of the pure colour.
    QFont big = m_label->font();
    big.setPixelSize(32);
    big.setBold(true);
    m_label->setFont(big);
    m_label->setText(QStringLiteral("(www.varnock.example)"));
    m_label->setGeometry(10, 10, 380, 60);
    m_label->SetAddress(kAddress);
    m_label->SetServices(&m_services);
    // The pointer starts away from the label.
    QCursor::setPos(m_host->mapToGlobal(QPoint(395, 115)));
    m_host->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_host));
}

void TestLinkLabel::cleanup() {
    delete m_host;
    m_host = nullptr;
    m_label = nullptr;
}

void TestLinkLabel::tooltipShowsAddressOverAHandPointer() {
    QCOMPARE(m_label->cursor().shape(), Qt::PointingHandCursor);
    const QPoint centre = m_label->rect().center();
    QHelpEvent help(QEvent::ToolTip, centre, m_label->mapToGlobal(centre));
    QApplication::sendEvent(m_label, &help);
    QTRY_COMPARE(QToolTip::text(), kAddress);
    QToolTip::hideText();

    // Until an address is set, the caption stands for it.
    CLinkLabel bare(m_host);
    bare.setText(QStringLiteral("https://caption.example"));
    QCOMPARE(bare.Address(), QStringLiteral("https://caption.example"));
}

void TestLinkLabel::hoverUnderlinesAndLeavesOnATickOutside() {
    const QColor link = m_label->LinkColour();
    QImage idle = Shot();
    QVERIFY(CountColour(idle, link) > 0);
    QVERIFY(!HasUnderline(idle, link, TextWidth()));

    QCursor::setPos(m_label->mapToGlobal(m_label->rect().center()));
    Hover();
    QVERIFY(m_label->IsHovering());
    QVERIFY(HasUnderline(Shot(), link, TextWidth()));

    QCursor::setPos(m_host->mapToGlobal(QPoint(395, 115)));
    QTRY_VERIFY_WITH_TIMEOUT(!m_label->IsHovering(), 1000);
    idle = Shot();
    QVERIFY(CountColour(idle, link) > 0);
    QVERIFY(!HasUnderline(idle, link, TextWidth()));
    QVERIFY(!m_label->findChild<QTimer*>(QStringLiteral("hoverTimer"))->isActive());
}

void TestLinkLabel::staysHoveredWhilePointerInside() {
    QCursor::setPos(m_label->mapToGlobal(m_label->rect().center()));
    Hover();
    QSignalSpy ticks(m_label->findChild<QTimer*>(QStringLiteral("hoverTimer")), &QTimer::timeout);
    QTRY_VERIFY(ticks.count() >= 2);
    QVERIFY(m_label->IsHovering());
}

void TestLinkLabel::successfulOpenShowsVisitedColour() {
    QCursor::setPos(m_label->mapToGlobal(m_label->rect().center()));
    Hover();
    QTest::mouseClick(m_label, Qt::LeftButton, {}, m_label->rect().center());

    QCOMPARE(m_services.openedAddresses, QStringList{kAddress});
    QVERIFY(m_label->IsVisited());
    QCOMPARE(m_services.beeps, 0);
    QVERIFY(m_services.errors.isEmpty());
    // Still under the pointer, yet drawn visited (and still underlined) until it moves again.
    const QColor link = m_label->LinkColour();
    const QColor visited = m_label->VisitedColour();
    QVERIFY(link != visited);
    const QImage shot = Shot();
    QVERIFY(HasUnderline(shot, visited, TextWidth()));
    QCOMPARE(CountColour(shot, link), 0);

    QTest::mouseMove(m_label, m_label->rect().center() + QPoint(3, 1));
    QVERIFY(HasUnderline(Shot(), link, TextWidth()));
    QCursor::setPos(m_host->mapToGlobal(QPoint(395, 115)));
    QTRY_VERIFY_WITH_TIMEOUT(!m_label->IsHovering(), 1000);
    QVERIFY(CountColour(Shot(), visited) > 0);
}

void TestLinkLabel::failedOpenBeepsAndExplains_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("0") << 0 << "The operating system is out\nof memory or resources.";
    QTest::newRow("2") << 2 << "The specified file was not found.";
    QTest::newRow("3") << 3 << "The specified path was not found.";
    QTest::newRow("5") << 5 << "The operating system denied\naccess to the specified file.";
    QTest::newRow("8") << 8 << "There was not enough memory to complete the operation.";
    QTest::newRow("11") << 11 << "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
    QTest::newRow("26 keeps its blank") << 26 << "A sharing violation occurred. ";
    QTest::newRow("27") << 27 << "The filename association is\nincomplete or invalid.";
    QTest::newRow("28") << 28 << "The DDE transaction could not\nbe completed because the request timed out.";
    QTest::newRow("29") << 29 << "The DDE transaction failed.";
    QTest::newRow("30") << 30
                        << "The DDE transaction could not\nbe completed because other DDE transactions\n"
                           "were being processed.";
    QTest::newRow("31") << 31 << "There is no application associated\nwith the given filename extension.";
    QTest::newRow("32") << 32 << "The specified dynamic-link library was not found.";
    QTest::newRow("1 unknown") << 1 << "Unknown Error (1) occurred.";
    QTest::newRow("25 unknown") << 25 << "Unknown Error (25) occurred.";
    QTest::newRow("negative") << -7 << "Unknown Error (-7) occurred.";
}

void TestLinkLabel::failedOpenBeepsAndExplains() {
    QFETCH(int, code);
    QFETCH(QString, message);
    m_services.openResult = code;

    QTest::mouseClick(m_label, Qt::LeftButton, {}, m_label->rect().center());

    QCOMPARE(m_services.beeps, 1);
    QCOMPARE(m_services.errors, QStringList{QStringLiteral("Unable to open hyperlink:\n\n") + message});
    QCOMPARE(m_services.errorCaption, QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    QCOMPARE(m_services.errorOwner, m_host);
    QVERIFY(!m_label->IsVisited());
}

void TestLinkLabel::failureAfterSuccessClearsVisited() {
    QTest::mouseClick(m_label, Qt::LeftButton, {}, m_label->rect().center());
    QVERIFY(m_label->IsVisited());
    m_services.openResult = kOpenNoAssociation;
    QTest::mouseClick(m_label, Qt::LeftButton, {}, m_label->rect().center());
    QVERIFY(!m_label->IsVisited());
    QCOMPARE(m_services.beeps, 1);
    const QImage shot = Shot();
    QVERIFY(CountColour(shot, m_label->LinkColour()) > 0);
    QCOMPARE(CountColour(shot, m_label->VisitedColour()), 0);
}

void TestLinkLabel::openFallsBackToBrowserCommand_data() {
    QTest::addColumn<int>("openResult");
    QTest::addColumn<std::optional<QString>>("handler");
    QTest::addColumn<int>("startResult");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QStringList>("started");
    const std::optional<QString> none;
    const std::optional<QString> browser = QStringLiteral("/usr/bin/browser --new-window %u");
    const QStringList command{"/usr/bin/browser", "--new-window", kAddress};
    QTest::newRow("default handler opens") << 42 << browser << 2 << 42 << QStringList();
    QTest::newRow("no handler: open's code") << 31 << none << 33 << 31 << QStringList();
    QTest::newRow("browser starts") << 31 << browser << 33 << 33 << command;
    QTest::newRow("browser missing") << 2 << browser << 2 << 2 << command;
    QTest::newRow("open quote") << 31 << std::optional<QString>("\"/opt/b %u") << 33 << 27 << QStringList();
    QTest::newRow("empty command") << 31 << std::optional<QString>("%u") << 33 << 27 << QStringList();
}

void TestLinkLabel::openFallsBackToBrowserCommand() {
    QFETCH(int, openResult);
    QFETCH(std::optional<QString>, handler);
    QFETCH(int, startResult);
    QFETCH(int, expected);
    QFETCH(QStringList, started);
    m_services.openResult = openResult;
    m_services.handlerCommand = handler;
    m_services.startResult = startResult;

    QCOMPARE(m_label->OpenAddress(kAddress), expected);
    QCOMPARE(m_services.started, started);
}

void TestLinkLabel::browserArguments_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("arguments");
    const QString a = kAddress;
    QTest::newRow("bare %u") << "firefox %u" << a << QStringList{"firefox", a};
    QTest::newRow("quoted %1, two blanks") << "browser  \"%1\"" << a << QStringList{"browser", a};
    QTest::newRow("quoted beats earlier bare") << "b %1 -x \"%1\" -y" << a << QStringList{"b", "%1", "-x", a};
    QTest::newRow("later arguments dropped") << "b %U --flag" << a << QStringList{"b", a};
    QTest::newRow("%f and %F") << "b -a %F %f" << a << QStringList{"b", "-a", a};
    QTest::newRow("no placeholder") << "b --new-window" << a << QStringList{"b", "--new-window", a};
    QTest::newRow("quoted program with blank")
        << "\"/opt/My Browser/run\" %u" << a << QStringList{"/opt/My Browser/run", a};
    QTest::newRow("escapes in quotes") << R"("/opt/a\"b\\c" %u)" << a << QStringList{"/opt/a\"b\\c", a};
    QTest::newRow("percent and field codes")
        << "b --p=100%% %i %c %u" << a << QStringList{"b", "--p=100%", a};
    QTest::newRow("address stays one argument")
        << "b %u"
        << "http://x.example/a b\"c --evil" << QStringList{"b", "http://x.example/a b\"c --evil"};
}

void TestLinkLabel::browserArguments() {
    QFETCH(QString, command);
    QFETCH(QString, address);
    QFETCH(QStringList, arguments);
    QCOMPARE(BrowserArguments(command, address), std::optional<QStringList>(arguments));
}

void TestLinkLabel::execLineOfDesktopEntry_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<std::optional<QString>>("exec");
    QTest::newRow("plain") << "[Desktop Entry]\nName=B\nExec=b %u\n" << std::optional<QString>("b %u");
    QTest::newRow("localized key and other group ignored")
        << "[Desktop Action new]\nExec=b --new %u\n[Desktop Entry]\nExec[de]=x\nExec = b %U\n"
        << std::optional<QString>("b %U");
    QTest::newRow("string escapes") << "[Desktop Entry]\nExec=\"/opt/a\\sb\" \"x\\\\\"y\" %u"
                                    << std::optional<QString>("\"/opt/a b\" \"x\\\"y\" %u");
    QTest::newRow("none") << "[Desktop Entry]\nName=B\n" << std::optional<QString>();
}

void TestLinkLabel::execLineOfDesktopEntry() {
    QFETCH(QString, entry);
    QFETCH(std::optional<QString>, exec);
    QCOMPARE(ExecLineOfDesktopEntry(entry), exec);
}

void TestLinkLabel::coloursComeFromThePaletteAndStayReadable_data() {
    QTest::addColumn<QColor>("window");
    QTest::addColumn<QColor>("link");
    QTest::addColumn<QColor>("visited");
    QTest::newRow("light, readable as it is")
        << QColor(239, 239, 239) << QColor(0, 0, 200) << QColor(110, 0, 110);
    QTest::newRow("light, Qt's default visited magenta")
        << QColor(239, 239, 239) << QColor(0, 0, 255) << QColor(255, 0, 255);
    QTest::newRow("dark theme") << QColor(43, 43, 43) << QColor(42, 130, 218) << QColor(160, 120, 255);
    QTest::newRow("dark window, light theme's link colours")
        << QColor(30, 30, 30) << QColor(0, 0, 238) << QColor(85, 26, 139);
}

void TestLinkLabel::coloursComeFromThePaletteAndStayReadable() {
    QFETCH(QColor, window);
    QFETCH(QColor, link);
    QFETCH(QColor, visited);
    // Set on the window after the label exists, as a theme change would.
    QPalette theme = m_host->palette();
    theme.setColor(QPalette::Window, window);
    theme.setColor(QPalette::Link, link);
    theme.setColor(QPalette::LinkVisited, visited);
    m_host->setPalette(theme);

    for (const QColor& shown : {m_label->LinkColour(), m_label->VisitedColour()}) {
        QVERIFY2(ContrastRatio(shown, window) >= 4.5, qPrintable(shown.name()));
    }
    // A readable palette colour is taken as it is; another keeps its hue.
    for (const auto& [palette, shown] :
         {std::pair(link, m_label->LinkColour()), std::pair(visited, m_label->VisitedColour())}) {
        if (ContrastRatio(palette, window) >= 4.5) {
            QCOMPARE(shown, palette);
        } else {
            QVERIFY2(qAbs(shown.hslHue() - palette.hslHue()) <= 3, qPrintable(shown.name()));
        }
    }
    QVERIFY(m_label->LinkColour() != m_label->VisitedColour());
    QVERIFY(CountColour(Shot(), m_label->LinkColour()) > 0);
    QTest::mouseClick(m_label, Qt::LeftButton, {}, m_label->rect().center());
    QVERIFY(CountColour(Shot(), m_label->VisitedColour()) > 0);
}

void TestLinkLabel::keyboardReachesAndOpensIt_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Enter") << int(Qt::Key_Enter);
    QTest::newRow("Space") << int(Qt::Key_Space);
}

void TestLinkLabel::keyboardReachesAndOpensIt() {
    QFETCH(int, key);
    auto* before = new QLineEdit(m_host);
    QWidget::setTabOrder(before, m_label);
    before->show();
    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), m_label);
    // The focused link shows it: a focus frame is drawn around the caption.
    const QImage focused = Shot();
    m_label->clearFocus();
    QVERIFY(focused != Shot());
    m_label->setFocus(Qt::TabFocusReason);

    QTest::keyClick(m_label, Qt::Key(key));
    QCOMPARE(m_services.openedAddresses, QStringList{kAddress});
    QVERIFY(m_label->IsVisited());
    // Other keys do nothing.
    QTest::keyClick(m_label, Qt::Key_A);
    QCOMPARE(m_services.openedAddresses.size(), 1);
}

void TestLinkLabel::screenReadersSeeALink() {
    QAccessibleInterface* link = QAccessible::queryAccessibleInterface(m_label);
    QVERIFY(link);
    QCOMPARE(link->role(), QAccessible::Link);
    QCOMPARE(link->text(QAccessible::Name), m_label->text());
    QCOMPARE(link->text(QAccessible::Value), kAddress);
    QVERIFY(link->state().focusable);
    QVERIFY(!link->state().traversed);
    QAccessibleActionInterface* actions = link->actionInterface();
    QVERIFY(actions);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));

    actions->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(m_services.openedAddresses, QStringList{kAddress});
    QVERIFY(link->state().traversed);
}

void TestLinkLabel::fitToText_data() {
    QTest::addColumn<int>("alignment");
    QTest::addColumn<int>("slack");  // label width minus the width the caption needs
    QTest::addColumn<int>("leftShift");
    QTest::addColumn<int>("widthChange");
    QTest::newRow("centred, wider by odd") << int(Qt::AlignHCenter) << 41 << 20 << -40;
    QTest::newRow("centred, narrower by odd") << int(Qt::AlignHCenter) << -41 << -20 << 40;
    QTest::newRow("left") << int(Qt::AlignLeft) << 30 << 0 << -30;
    QTest::newRow("right") << int(Qt::AlignRight) << 30 << 30 << -30;
}

void TestLinkLabel::fitToText() {
    QFETCH(int, alignment);
    QFETCH(int, slack);
    QFETCH(int, leftShift);
    QFETCH(int, widthChange);
    QFont underlined = m_label->font();
    underlined.setUnderline(true);
    const int needed = QFontMetrics(underlined).horizontalAdvance(m_label->text());
    const QRect before(10, 10, needed + slack, 60);
    m_label->setAlignment(Qt::Alignment(alignment));
    m_label->setGeometry(before);

    m_label->FitToText();

    QCOMPARE(m_label->x(), before.x() + leftShift);
    QCOMPARE(m_label->width(), before.width() + widthChange);
    QCOMPARE(m_label->y(), before.y());
    QCOMPARE(m_label->height(), QFontMetrics(underlined).height());
}

QTEST_MAIN(TestLinkLabel)
#include "tst_linklabel.moc"
