// SPDX-License-Identifier: Apache-2.0
#include "ui/resources.h"

#include <QIcon>
#include <QtGlobal>

// Registration from a static library must be asked for by name, or the linker drops it.
static void RegisterResources() {
    Q_INIT_RESOURCE(ombrel);
}

void EnsureResources() {
    static const bool registered = (RegisterResources(), true);
    Q_UNUSED(registered);
}

QIcon ApplicationIcon() {
    EnsureResources();
    QIcon icon;
    for (const int size : {16, 32, 48, 64}) {
        icon.addFile(QStringLiteral(":/icons/ombrel-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}
