// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

// Points every file location of the program at a fresh temporary folder
// (XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_STATE_HOME) and defaults the Qt
// platform to offscreen. Called once at the start of each test program.
void SetUpTestEnvironment();

// The temporary root made by SetUpTestEnvironment.
QString TestRoot();

// A Qt Test main that prepares the environment first.
#define VELTRAVOR_TEST_MAIN(TestObject)                  \
  int main(int argc, char **argv) {                      \
    SetUpTestEnvironment();                              \
    QApplication app(argc, argv);                        \
    app.setAttribute(Qt::AA_Use96Dpi, true);             \
    TestObject tc;                                       \
    return QTest::qExec(&tc, argc, argv);                \
  }
