// SPDX-License-Identifier: GPL-3.0-or-later
// Fault switches on raw bytes: each fires once, on the first command at or
// after its number to which it applies.
#include <gtest/gtest.h>

#include "RawController.h"

using Bytes = std::vector<uint8_t>;

namespace {
TRawController WithFaults(TSimulatorFaults faults, int carriage = 1000, int wheel = 400) {
  TSimulatorConfig config = At(carriage, wheel);
  config.Faults = faults;
  return TRawController(config);
}
}  // namespace

TEST(SimulatorFaults, SwallowedAnswerLeavesTheCommandDoneButSilent) {
  // Command 1 is a gain command (nothing to swallow): the fault waits for
  // command 2, a shift, which still moves.
  auto c = WithFaults({.SwallowAnswer = 1});
  EXPECT_TRUE(c.Exchange({0x30, 0x1E}).empty());
  EXPECT_TRUE(c.Exchange({0x21, 0x00, 0x0A, 1}).empty());
  EXPECT_EQ(c.Instrument.CarriagePosition(), 1010);
  EXPECT_EQ(c.Exchange({0x21, 0x00, 0x0A, 1}), (Bytes{1, 1, 1, 2})) << "fires once";

  auto m = WithFaults({.SwallowAnswer = 2});
  EXPECT_GE(m.Measure(0), 0);
  EXPECT_TRUE(m.Exchange({0x50}).empty());
  EXPECT_TRUE(m.Exchange({1}).empty()) << "no read-back is due after a swallowed answer";
  EXPECT_GE(m.Measure(0), 0);

  // A swallowed limit answer leaves no read-back waiting either.
  auto l = WithFaults({.SwallowAnswer = 1}, 5);
  EXPECT_TRUE(l.Exchange({0x23, 0x00, 0x0A, 1}).empty());
  EXPECT_EQ(l.Instrument.CarriagePosition(), 0);
  EXPECT_EQ(l.Exchange({0x21, 0x00, 0x01, 1}), (Bytes{1, 1, 1, 2}));
}

TEST(SimulatorFaults, BadAcknowledgementRefusesTheShift) {
  auto c = WithFaults({.BadAcknowledgement = 2});
  EXPECT_EQ(c.Exchange({0x21, 0x00, 0x0A, 1}), (Bytes{1, 1, 1, 2}));
  EXPECT_GE(c.Measure(0), 0) << "command 2 is no shift: the fault waits";
  EXPECT_EQ(c.Exchange({0x25, 0x01, 0x90, 1}), (Bytes{1, 1, 0}));
  EXPECT_EQ(c.Instrument.WheelPosition(), 400) << "a refused shift does not move";
  EXPECT_EQ(c.Exchange({0x25, 0x01, 0x90, 1}), (Bytes{1, 1, 1, 2}));
  EXPECT_EQ(c.Instrument.WheelPosition(), 800);
}

TEST(SimulatorFaults, WrongMotorCodeAnswersTheOtherMotorsLimit) {
  auto wheel = WithFaults({.WrongMotorCode = 1});
  EXPECT_EQ(wheel.Exchange({0x25, 0x01, 0x90, 1}), (Bytes{1, 1, 1, 16}));
  EXPECT_EQ(wheel.Exchange({1}), Bytes{0});
  EXPECT_EQ(wheel.Exchange({1}), Bytes{0});
  EXPECT_EQ(wheel.Instrument.WheelPosition(), 800);

  auto carriage = WithFaults({.WrongMotorCode = 1});
  EXPECT_EQ(carriage.Exchange({0x23, 0x00, 0x0A, 1}), (Bytes{1, 1, 1, 19}));
}

TEST(SimulatorFaults, StalledCarriageStopsHalfWayWithAnswer16) {
  auto c = WithFaults({.StallCarriage = 1});
  EXPECT_EQ(c.Exchange({0x25, 0x00, 0x0A, 1}), (Bytes{1, 1, 1, 2})) << "the wheel never stalls";
  // 1001 steps backward: 500 made, 501 = 0x01F5 not made.
  EXPECT_EQ(c.Exchange({0x23, 0x03, 0xE9, 1}), (Bytes{1, 1, 1, 16}));
  EXPECT_EQ(c.Exchange({1}), Bytes{0x01});
  EXPECT_EQ(c.Exchange({1}), Bytes{0xF5});
  EXPECT_EQ(c.Instrument.CarriagePosition(), 500);
  EXPECT_EQ(c.Exchange({0x21, 0x00, 0x0A, 1}), (Bytes{1, 1, 1, 2}));
  EXPECT_EQ(c.Instrument.CarriagePosition(), 510);
}

TEST(SimulatorFaults, DropLinkAfterTheNthCommandOfAnyKind) {
  auto c = WithFaults({.DropLink = 2});
  c.Exchange({0x30, 0x1E});
  EXPECT_FALSE(c.Instrument.LinkDropped());
  c.Exchange({0x21, 0x00});
  EXPECT_FALSE(c.Instrument.LinkDropped()) << "half a command is no command";
  c.Exchange({0x0A, 1});
  EXPECT_TRUE(c.Instrument.LinkDropped());
}

TEST(SimulatorFaults, AllOffByDefault) {
  TRawController c(At(1000, 400));
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(c.Exchange({0x21, 0x00, 0x01, 0}), (Bytes{1, 1, 1, 2}));
    EXPECT_GE(c.Measure(0), 0);
  }
  EXPECT_FALSE(c.Instrument.LinkDropped());
}
