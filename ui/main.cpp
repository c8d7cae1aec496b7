// SPDX-License-Identifier: Apache-2.0
#include "core/secret.h"
#include "ui/mainapp.h"

int main(int argc, char* argv[]) {
    DisableCoreDumps();  // before any password or key is in memory
    CMainApp app(argc, argv);
    app.InitInstance();
    return 0;
}
