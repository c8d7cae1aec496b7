#include "ui/dialogunits.h"

#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>

namespace {

// A closed drop-down list is as tall as a text field; the template's height includes the
// dropped list, which Qt sizes by itself.
constexpr int kClosedListHeight = 14;

int Scale(int units, int base, int divisor) { return (units * base * 2 + divisor) / (divisor * 2); }

}  // namespace

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(alphabet / 26 + 1) / 2, metrics.height()};
}

QRect MapDialogRect(const QRect& units, DialogBaseUnits base) {
    return {Scale(units.x(), base.x, 4), Scale(units.y(), base.y, 8), Scale(units.width(), base.x, 4),
            Scale(units.height(), base.y, 8)};
}

void ApplyTemplateGeometry(QDialog& dialog) {
    const DialogBaseUnits base = BaseUnitsOf(dialog.font());
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
