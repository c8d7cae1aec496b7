// SPDX-License-Identifier: Apache-2.0
#include "ui/passwordfield.h"

#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolButton>

namespace {

// The first theme icon of these names that can be drawn; themes differ in what they call it.
QIcon ThemeIcon(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        const QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
        // A theme may list an icon in a format no image plugin here can read.
        if (!icon.isNull() && !icon.pixmap(16).isNull()) {
            return icon;
        }
    }
    return {};
}

// An eye in the field's text colour, crossed out for "hide": drawn, so it needs no theme.
QIcon DrawnEye(const QColor& colour, bool crossed) {
    QIcon icon;
    for (const int size : {16, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal s = size / 16.0;
        painter.setPen(QPen(colour, 1.2 * s, Qt::SolidLine, Qt::RoundCap));
        QPainterPath eye;
        eye.moveTo(1.5 * s, 8 * s);
        eye.quadTo(8 * s, 1 * s, 14.5 * s, 8 * s);
        eye.quadTo(8 * s, 15 * s, 1.5 * s, 8 * s);
        painter.drawPath(eye);
        painter.setBrush(colour);
        painter.drawEllipse(QPointF(8 * s, 8 * s), 2.2 * s, 2.2 * s);
        if (crossed) {
            painter.drawLine(QPointF(3 * s, 14 * s), QPointF(13 * s, 2 * s));
        }
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

QAction* AddRevealAction(QLineEdit& field) {
    const QColor colour = field.palette().color(QPalette::Text);
    QIcon reveal = ThemeIcon({"view-reveal-symbolic", "view-visible", "visibility"});
    QIcon conceal = ThemeIcon({"view-conceal-symbolic", "view-hidden", "hint"});
    if (reveal.isNull() || conceal.isNull()) {
        reveal = DrawnEye(colour, false);
        conceal = DrawnEye(colour, true);
    }

    QAction* action = field.addAction(reveal, QLineEdit::TrailingPosition);
    action->setObjectName(field.objectName() + QStringLiteral("Reveal"));
    action->setCheckable(true);
    // The button in the field takes no focus, so the keyboard gets a key of its own, while the
    // field has the focus; Alt+letter keys are the form's mnemonics.
    action->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F8));
    action->setShortcutContext(Qt::WidgetShortcut);
    const auto update = [&field, action, reveal, conceal](bool shown) {
        field.setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
        action->setIcon(shown ? conceal : reveal);
        action->setText(shown ? QStringLiteral("Hide password") : QStringLiteral("Show password"));
        action->setToolTip(action->text() + QStringLiteral(" (") +
                           action->shortcut().toString(QKeySequence::NativeText) + QStringLiteral(")"));
        // The button that shows the action is reached by screen readers under this name.
        for (QToolButton* button : field.findChildren<QToolButton*>()) {
            if (button->defaultAction() == action) {
                button->setAccessibleName(action->text());
            }
        }
    };
    QObject::connect(action, &QAction::toggled, &field, update);
    update(false);
    return action;
}
