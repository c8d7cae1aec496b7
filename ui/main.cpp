// SPDX-License-Identifier: Apache-2.0
#include "ui/mainapp.h"

int main(int argc, char* argv[]) {
    CMainApp app(argc, argv);
    app.InitInstance();
    return 0;
}
