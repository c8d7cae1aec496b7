// SPDX-License-Identifier: Apache-2.0
// The application object: one per process, it runs the main dialog and nothing else.
#pragma once

#include <QApplication>

class CMainApp : public QApplication {
    Q_OBJECT

public:
    // Qt's own options are taken from the command line; the program reads no argument.
    CMainApp(int& argc, char** argv);

    // Runs the main dialog until it ends. Always false: nothing is left to run afterwards.
    bool InitInstance();
};
