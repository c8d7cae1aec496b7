// SPDX-License-Identifier: Apache-2.0
#include "ui/linkaccessible.h"

#include "ui/linklabel.h"

#include <QAccessibleWidget>

#include <algorithm>
#include <cmath>

namespace {

double Channel(double value) {
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * Channel(rgb.redF()) + 0.7152 * Channel(rgb.greenF()) + 0.0722 * Channel(rgb.blueF());
}

class LinkLabelAccessible final : public QAccessibleWidget {
public:
    explicit LinkLabelAccessible(CLinkLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}

    QString text(QAccessible::Text kind) const override {
        const QString own = QAccessibleWidget::text(kind);
        switch (kind) {
            case QAccessible::Name:
                return own.isEmpty() ? Label()->text() : own;
            case QAccessible::Value:
                return Label()->Address();
            default:
                return own;
        }
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.linked = true;
        state.traversed = Label()->IsVisited();
        return state;
    }

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == pressAction()) {
            Label()->Activate();
        } else {
            QAccessibleWidget::doAction(action);
        }
    }

private:
    CLinkLabel* Label() const { return static_cast<CLinkLabel*>(widget()); }
};

QAccessibleInterface* LinkLabelFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("CLinkLabel") && object && object->isWidgetType()) {
        return new LinkLabelAccessible(static_cast<CLinkLabel*>(object));
    }
    return nullptr;
}

}  // namespace

double ContrastRatio(const QColor& first, const QColor& second) {
    const double a = Luminance(first);
    const double b = Luminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor ReadableOn(const QColor& colour, const QColor& background, double ratio) {
    // Toward black on a light background, toward white on a dark one. Whichever of the two
    // the background is further from reaches at least 4.58:1, so 4.5:1 is always met.
    const bool darken = Luminance(background) > 0.18;
    const QColor target = darken ? QColor(Qt::black) : QColor(Qt::white);
    QColor shown = colour.toRgb();
    for (int step = 0; step <= 20 && ContrastRatio(shown, background) < ratio; ++step) {
        const double t = step / 20.0;
        const QColor from = colour.toRgb();
        shown = QColor::fromRgbF(float(from.redF() + (target.redF() - from.redF()) * t),
                                 float(from.greenF() + (target.greenF() - from.greenF()) * t),
                                 float(from.blueF() + (target.blueF() - from.blueF()) * t));
    }
    return shown;
}

void InstallLinkLabelAccessibility() {
    static const bool installed = (QAccessible::installFactory(&LinkLabelFactory), true);
    Q_UNUSED(installed);
}
