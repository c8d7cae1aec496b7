// SPDX-License-Identifier: Apache-2.0
#include "ui/linklabel.h"

#include "ui/desktoplink.h"
#include "ui/linkaccessible.h"

#include <QCoreApplication>
#include <QCursor>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QToolTip>

CLinkLabel::CLinkLabel(QWidget* parent)
    : QLabel(parent),
      m_hoverTimer(this),
      m_ownServices(std::make_unique<DesktopLinkServices>()),
      m_services(m_ownServices.get()) {
    // Pointer moves must arrive without a pressed button, or hovering is never noticed.
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
    // Reached with Tab like any other control, and opened with Enter or Space.
    setFocusPolicy(Qt::StrongFocus);
    InstallLinkLabelAccessibility();
    setTextFormat(Qt::PlainText);
    m_hoverTimer.setObjectName(QStringLiteral("hoverTimer"));
    m_hoverTimer.setInterval(kHoverPollMs);
    connect(&m_hoverTimer, &QTimer::timeout, this, &CLinkLabel::OnTimer);
    ApplyColour();
}

CLinkLabel::~CLinkLabel() = default;

void CLinkLabel::SetAddress(const QString& address) {
    m_address = address;
    FitToText();
}

QString CLinkLabel::Address() const {
    return m_address.isEmpty() ? text() : m_address;
}

void CLinkLabel::SetServices(LinkServices* services) {
    m_services = services ? services : m_ownServices.get();
}

void CLinkLabel::FitToText() {
    // Measured underlined, so that hovering never clips the caption.
    QFont underlined = font();
    underlined.setUnderline(true);
    const QFontMetrics metrics(underlined);
    const QSize border = size() - contentsRect().size() + QSize(2 * margin(), 2 * margin());
    const int neededWidth = metrics.horizontalAdvance(text()) + border.width();
    const int neededHeight = metrics.height() + border.height();

    QRect area = geometry();
    const Qt::Alignment align = alignment();
    if (align & Qt::AlignVCenter) {
        const int d = (area.height() - neededHeight) / 2;
        area.adjust(0, d, 0, -d);
    } else {
        area.setHeight(neededHeight);
    }
    if (align & Qt::AlignHCenter) {
        const int d = (area.width() - neededWidth) / 2;
        area.adjust(d, 0, -d, 0);
    } else if (align & Qt::AlignRight) {
        area.setLeft(area.left() + area.width() - neededWidth);
    } else {
        area.setWidth(neededWidth);
    }
    setGeometry(area);
}

int CLinkLabel::OpenAddress(const QString& address) {
    const int opened = m_services->OpenWithDefaultHandler(address);
    if (opened > 32) {
        return opened;
    }
    // Next try the command line of the desktop's web browser directly.
    const std::optional<QString> command = m_services->DefaultHtmlHandlerCommand();
    if (!command) {
        return opened;
    }
    const std::optional<QStringList> arguments = BrowserArguments(*command, address);
    if (!arguments) {
        return kOpenAssociationIncomplete;
    }
    return m_services->StartDetached(arguments->first(), arguments->mid(1));
}

QString CLinkLabel::OpenErrorText(int code) {
    // clang-format off
    switch (code) {
    case 0: return QStringLiteral("The operating system is out\nof memory or resources.");
    case 2: return QStringLiteral("The specified file was not found.");
    case 3: return QStringLiteral("The specified path was not found.");
    case 5: return QStringLiteral("The operating system denied\naccess to the specified file.");
    case 8: return QStringLiteral("There was not enough memory to complete the operation.");
    case 11: return QStringLiteral("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
    case 26: return QStringLiteral("A sharing violation occurred. ");
    case 27: return QStringLiteral("The filename association is\nincomplete or invalid.");
    case 28: return QStringLiteral("The DDE transaction could not\nbe completed because the request timed out.");
    case 29: return QStringLiteral("The DDE transaction failed.");
    case 30:
        return QStringLiteral("The DDE transaction could not\nbe completed because other DDE transactions\n"
                              "were being processed.");
    case 31: return QStringLiteral("There is no application associated\nwith the given filename extension.");
    case 32: return QStringLiteral("The specified dynamic-link library was not found.");
    default: return QStringLiteral("Unknown Error (%1) occurred.").arg(code);
    }
    // clang-format on
}

void CLinkLabel::ReportOpenError(int code) {
    // The caption is the program's name, as the desktop knows the executable.
    const QString caption = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    m_services->ShowOpenError(window(), caption,
                              QStringLiteral("Unable to open hyperlink:\n\n") + OpenErrorText(code));
}

void CLinkLabel::mouseMoveEvent(QMouseEvent* event) {
    if (!m_hovering) {
        m_hovering = true;
        SetUnderlined(true);
        ApplyColour();
        // Leaving is found by polling, which also catches a pointer that jumped away.
        m_hoverTimer.start();
    }
    QLabel::mouseMoveEvent(event);
}

void CLinkLabel::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void CLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    QLabel::mouseReleaseEvent(event);
    if (click) {
        Activate();
    }
}

void CLinkLabel::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (modifiers == Qt::NoModifier &&
        (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
        event->accept();
        Activate();
        return;
    }
    QLabel::keyPressEvent(event);
}

void CLinkLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (hasFocus()) {
        QPainter painter(this);
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.backgroundColor = palette().color(QPalette::Window);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

bool CLinkLabel::event(QEvent* event) {
    if (event->type() == QEvent::PaletteChange && !m_applyingColour) {
        // A new theme: the colours are worked out afresh from its palette.
        const bool handled = QLabel::event(event);
        ApplyColour();
        return handled;
    }
    if (event->type() == QEvent::ToolTip) {
        // The tooltip follows the address, or the caption while there is none.
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), Address(), this);
        return true;
    }
    return QLabel::event(event);
}

void CLinkLabel::OnTimer() {
    if (rect().contains(mapFromGlobal(QCursor::pos()))) {
        return;
    }
    m_hovering = false;
    m_hoverTimer.stop();
    SetUnderlined(false);
    ApplyColour();
}

void CLinkLabel::Activate() {
    // The timer keeps running: the next tick outside, or the next move, settles the state.
    m_hovering = false;
    const int result = OpenAddress(Address());
    m_visited = result > 32;
    ApplyColour();
    if (!m_visited) {
        m_services->Beep();
        ReportOpenError(result);
    }
}

QColor CLinkLabel::LinkColour() const {
    return ReadableOn(palette().color(QPalette::Link), palette().color(QPalette::Window), kMinimumContrast);
}

QColor CLinkLabel::VisitedColour() const {
    return ReadableOn(palette().color(QPalette::LinkVisited), palette().color(QPalette::Window),
                      kMinimumContrast);
}

QColor CLinkLabel::ShownColour() const {
    return m_hovering || !m_visited ? LinkColour() : VisitedColour();
}

void CLinkLabel::ApplyColour() {
    // The label draws its text in WindowText; the link roles themselves stay as the theme has them.
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, ShownColour());
    m_applyingColour = true;
    setPalette(colours);
    m_applyingColour = false;
}

void CLinkLabel::SetUnderlined(bool underlined) {
    QFont shown = font();
    shown.setUnderline(underlined);
    setFont(shown);
}
