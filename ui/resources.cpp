#include "ui/resources.h"

#include <QtGlobal>

// Registration from a static library must be asked for by name, or the linker drops it.
static void RegisterResources() { Q_INIT_RESOURCE(ombrel); }

void EnsureResources() {
    static const bool registered = (RegisterResources(), true);
    Q_UNUSED(registered);
}
