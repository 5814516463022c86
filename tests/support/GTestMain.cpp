// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "TestEnvironment.h"

// Core tests run with a QCoreApplication so that code using timers, threads
// and queued signals behaves as in the program.
int main(int argc, char **argv) {
  SetUpTestEnvironment();
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
