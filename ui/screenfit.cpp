// SPDX-License-Identifier: Apache-2.0
#include "ui/screenfit.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The widgets that take focus, in the order Tab visits them.
QList<QWidget*> FocusChain(QWidget& window) {
    QList<QWidget*> chain;
    for (QWidget* widget = window.nextInFocusChain(); widget && widget != &window;
         widget = widget->nextInFocusChain()) {
        if (widget->focusPolicy() & Qt::TabFocus) {
            chain << widget;
        }
    }
    return chain;
}

}  // namespace

QSize WindowLimit(const QDialog& dialog, const QRect& available) {
    const QStyle* style = dialog.style();
    // Window managers draw wider frames and taller title bars than the style's own; these
    // guesses err on the large side.
    const int frame = std::max(style->pixelMetric(QStyle::PM_DefaultFrameWidth), 4);
    const int titleBar = 2 * style->pixelMetric(QStyle::PM_TitleBarHeight);
    return available.size() - QSize(2 * frame, titleBar + 2 * frame);
}

void FitDialogToScreen(QDialog& dialog, const QList<QPushButton*>& buttons) {
    const QScreen* screen = dialog.screen() ? dialog.screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        return;
    }
    const QSize limit = WindowLimit(dialog, screen->availableGeometry());
    const QSize full = dialog.size();
    if (full.width() <= limit.width() && full.height() <= limit.height()) {
        return;
    }

    const QList<QWidget*> chain = FocusChain(dialog);
    // The form keeps the template's arrangement down to the buttons, which leave it.
    int formHeight = full.height();
    for (const QPushButton* button : buttons) {
        formHeight = std::min(formHeight, button->y());
    }
    auto* form = new QWidget;
    form->setObjectName(QStringLiteral("formContent"));
    form->setFixedSize(full.width(), formHeight);
    // In stacking order, so that group boxes stay behind what they frame.
    const QObjectList children = dialog.children();  // a copy: moving a child changes the list
    for (QObject* child : children) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget->isWindow() || buttons.contains(qobject_cast<QPushButton*>(widget))) {
            continue;
        }
        const bool hidden = widget->isHidden();
        widget->setParent(form);
        widget->setHidden(hidden);
    }

    auto* scroll = new QScrollArea(&dialog);
    scroll->setObjectName(QStringLiteral("formScrollArea"));
    scroll->setFrameShape(QFrame::NoFrame);
    // Tab moves between the controls; the area itself is no stop.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidget(form);
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* button : buttons) {
        button->setMinimumSize(button->size());
        row->addWidget(button);
    }
    row->addStretch();
    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(0, 0, 0, layout->spacing());
    layout->addWidget(scroll, 1);
    layout->addLayout(row);

    // Tab keeps its order; a control that gets the focus is scrolled into view.
    for (qsizetype i = 1; i < chain.size(); ++i) {
        QWidget::setTabOrder(chain[i - 1], chain[i]);
    }
    QObject::connect(qApp, &QApplication::focusChanged, scroll, [scroll, form](QWidget*, QWidget* now) {
        if (now && form->isAncestorOf(now)) {
            scroll->ensureWidgetVisible(now);
        }
    });

    const int bar = dialog.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    int buttonRow = 0;
    for (const QPushButton* button : buttons) {
        buttonRow = std::max(buttonRow, button->height());
    }
    const QSize wanted(full.width() + bar, formHeight + buttonRow + 2 * layout->spacing());
    dialog.setFixedSize(wanted.boundedTo(limit));
}
