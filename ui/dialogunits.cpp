// SPDX-License-Identifier: Apache-2.0
#include "ui/dialogunits.h"

#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>

#include <algorithm>

namespace {

// A closed drop-down list is as tall as a text field; the template's height includes the
// dropped list, which Qt sizes by itself.
constexpr int kClosedListHeight = 14;

int Scale(int units, double base, int divisor) {
    return qRound(units * base / divisor);
}

// The horizontal unit at which every label's text fits the width the template gives it.
double UnitFittingLabels(const QDialog& dialog, double unit) {
    for (const QLabel* label : dialog.findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        const int widthUnits = label->width();
        if (label->text().isEmpty() || widthUnits <= 0) {
            continue;
        }
        const int border = 2 * (label->frameWidth() + label->margin());
        // A mnemonic's "&" is not drawn, so it takes no room.
        const int needed =
            QFontMetrics(label->font()).size(Qt::TextShowMnemonic, label->text()).width() + border;
        unit = std::max(unit, needed * 4.0 / widthUnits);
    }
    return unit;
}

}  // namespace

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int alphabet =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {double((alphabet / 26 + 1) / 2), double(metrics.height())};
}

QRect MapDialogRect(const QRect& units, DialogBaseUnits base) {
    return {Scale(units.x(), base.x, 4), Scale(units.y(), base.y, 8), Scale(units.width(), base.x, 4),
            Scale(units.height(), base.y, 8)};
}

void ApplyTemplateGeometry(QDialog& dialog) {
    DialogBaseUnits base = BaseUnitsOf(dialog.font());
    base.x = UnitFittingLabels(dialog, base.x);
    for (QWidget* control : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QRect units = control->geometry();
        if (qobject_cast<QComboBox*>(control)) {
            units.setHeight(kClosedListHeight);
        }
        QRect pixels = MapDialogRect(units, base);
        if (auto* picture = qobject_cast<QLabel*>(control); picture && !picture->pixmap().isNull()) {
            pixels.setSize(picture->pixmap().deviceIndependentSize().toSize());
        }
        control->setGeometry(pixels);
        // Group boxes come later in the template than what they frame, yet must not cover it.
        if (qobject_cast<QGroupBox*>(control)) {
            control->lower();
        }
    }
    dialog.setFixedSize(MapDialogRect(QRect(QPoint(), dialog.size()), base).size());
}
