// SPDX-License-Identifier: GPL-3.0-or-later
// The controller seen from the program's side of the line: raw bytes in,
// raw bytes out, for every kind of command the instrument understands.
#include <gtest/gtest.h>

#include "RawController.h"

using Bytes = std::vector<uint8_t>;

TEST(ControllerGains, EveryTableCodeSetsItsGainsAndAnswersNothing) {
  struct Row {
    uint8_t Code;
    int Photo, Input;
  };
  const Row rows[] = {{0x1E, 1, 1},  {0x1A, 1, 2},  {0x16, 1, 4},  {0x12, 1, 8},  {0x0E, 1, 16},
                      {0x0A, 1, 32}, {0x06, 1, 64}, {0x1C, 16, 1}, {0x18, 16, 2}, {0x14, 16, 4},
                      {0x10, 16, 8}, {0x0C, 16, 16}, {0x08, 16, 32}, {0x04, 16, 64}};
  TRawController c;
  for (const Row &r : rows) {
    EXPECT_TRUE(c.Exchange({0x30, r.Code}).empty()) << int(r.Code);
    EXPECT_EQ(c.Instrument.PhotoGain(), r.Photo) << int(r.Code);
    EXPECT_EQ(c.Instrument.InputGain(), r.Input) << int(r.Code);
  }
}

TEST(ControllerGains, CodesOutsideTheTableAreIgnored) {
  TRawController c;
  c.Exchange({0x30, 0x0C});  // 16 x 16
  for (uint8_t code : {0x00, 0x02, 0x1F, 0x0D, 0x20, 0x3E, 0x80, 0xFF}) {
    EXPECT_TRUE(c.Exchange({0x30, code}).empty());
    EXPECT_EQ(c.Instrument.PhotoGain(), 16) << int(code);
    EXPECT_EQ(c.Instrument.InputGain(), 16) << int(code);
  }
  // The ignored code was still taken as the gain command's second byte.
  EXPECT_EQ(c.Instrument.CommandCount(), 9);
}

struct TShiftRow {
  const char *Name;
  int Carriage, Wheel;
  Bytes Command;
  Bytes Answer;    // acknowledgements and final answer
  Bytes ReadBack;  // answers to byte 1, byte 1 (empty after answer 2)
  int CarriageAfter, WheelAfter;
};

class ControllerShift : public testing::TestWithParam<TShiftRow> {};

TEST_P(ControllerShift, AnswersAndMovesAsTheTableSays) {
  const TShiftRow &row = GetParam();
  TRawController c(At(row.Carriage, row.Wheel));
  EXPECT_EQ(c.Exchange(row.Command), row.Answer);
  Bytes readBack;
  if (!row.ReadBack.empty()) {
    for (int i = 0; i < 2; ++i) {
      const Bytes b = c.Exchange({1});
      readBack.insert(readBack.end(), b.begin(), b.end());
    }
  }
  EXPECT_EQ(readBack, row.ReadBack);
  // Nothing more is pending: a further byte 1 is ignored.
  EXPECT_TRUE(c.Exchange({1}).empty());
  EXPECT_EQ(c.Instrument.CarriagePosition(), row.CarriageAfter);
  EXPECT_EQ(c.Instrument.WheelPosition(), row.WheelAfter);
  EXPECT_TRUE(c.Instrument.Idle());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ControllerShift,
    testing::Values(
        TShiftRow{"CarriageForward", 1000, 0, {0x21, 0x01, 0xF4, 4}, {1, 1, 1, 2}, {}, 1500, 0},
        TShiftRow{"CarriageBackwardExactlyToZero", 500, 0, {0x23, 0x01, 0xF4, 4}, {1, 1, 1, 2},
                  {}, 0, 0},
        TShiftRow{"CarriageBackwardPastZero", 300, 0, {0x23, 0x01, 0xF4, 4}, {1, 1, 1, 17},
                  {0x00, 0xC8}, 0, 0},
        TShiftRow{"CarriageBackwardFromZero", 0, 0, {0x23, 0xFF, 0xFF, 0}, {1, 1, 1, 17},
                  {0xFF, 0xFF}, 0, 0},
        TShiftRow{"CarriageForwardPastLength", 69900, 0, {0x21, 0x01, 0x2C, 4}, {1, 1, 1, 16},
                  {0x00, 0xC8}, 70000, 0},
        TShiftRow{"CarriageZeroSteps", 0, 0, {0x23, 0x00, 0x00, 4}, {1, 1, 1, 2}, {}, 0, 0},
        TShiftRow{"WheelForwardRoundTheRevolution", 0, 3000, {0x25, 0x01, 0x90, 4},
                  {1, 1, 1, 2}, {}, 0, 200},
        TShiftRow{"WheelForwardFarBeyondOneRevolution", 0, 1234, {0x25, 0xFF, 0xFF, 4},
                  {1, 1, 1, 2}, {}, 0, (1234 + 65535) % 3200},
        TShiftRow{"WheelBackwardWithinTheRevolution", 0, 1234, {0x27, 0x00, 0x22, 4},
                  {1, 1, 1, 2}, {}, 0, 1200},
        // 65535 - 1234 = 64301 = 0xFB2D steps not made.
        TShiftRow{"WheelBackwardToHome", 0, 1234, {0x27, 0xFF, 0xFF, 4}, {1, 1, 1, 19},
                  {0xFB, 0x2D}, 0, 0},
        TShiftRow{"WheelBackwardAtHome", 0, 0, {0x27, 0x01, 0x00, 4}, {1, 1, 1, 19},
                  {0x01, 0x00}, 0, 0}),
    [](const testing::TestParamInfo<TShiftRow> &info) { return std::string(info.param.Name); });

TEST(ControllerShift, ForwardLimitIsTheConfiguredLength) {
  TSimulatorConfig config = At(900, 0);
  config.Length = 1000;
  TRawController c(config);
  EXPECT_EQ(c.Exchange({0x21, 0x00, 0xC8, 1}), (Bytes{1, 1, 1, 16}));
  EXPECT_EQ(c.Exchange({1}), Bytes{0});
  EXPECT_EQ(c.Exchange({1}), Bytes{100});
  EXPECT_EQ(c.Instrument.CarriagePosition(), 1000);
}

TEST(ControllerShift, ReadBackIsAbandonedByTheNextCommand) {
  // A program that gave up on the steps not made is understood at once.
  TRawController c(At(10, 0));
  EXPECT_EQ(c.Exchange({0x23, 0x00, 0x64, 1}), (Bytes{1, 1, 1, 17}));
  EXPECT_EQ(c.Exchange({0x21, 0x00, 0x05, 1}), (Bytes{1, 1, 1, 2}));
  EXPECT_EQ(c.Instrument.CarriagePosition(), 5);
}

TEST(ControllerMeasure, LowByteThenHighByteAfterAByteOne) {
  // Peak behind the strongest filter at total gain 1: about 4 + 700 counts.
  TRawController c(At(30000, 2000));
  c.Exchange({0x30, 0x1E});
  const Bytes low = c.Exchange({0x57});
  ASSERT_EQ(low.size(), 1u);
  const Bytes high = c.Exchange({1});
  ASSERT_EQ(high.size(), 1u);
  const int value = low[0] + 256 * high[0];
  EXPECT_NEAR(value, 705, 15);
  EXPECT_TRUE(c.Exchange({1}).empty());
}

TEST(ControllerMeasure, ValueFollowsPositionsGainsAndConverterRange) {
  struct Row {
    const char *Name;
    int Carriage, Wheel;
    uint8_t GainCode;
    int Low, High;  // accepted value range
  };
  const Row rows[] = {
      {"beam blocked between filters: dark offset", 30000, 2200, 0x04, 3, 5},
      {"far from the peak: dark offset", 0, 0, 0x04, 3, 5},
      {"peak unattenuated at full gain saturates", 30000, 0, 0x04, 1023, 1023},
      {"pedestal at full gain, open wheel", 30000 + 1800, 0, 0x04, 4 + 394 - 12, 4 + 394 + 12},
      {"filter edge +20 still attenuates", 30000, 2020, 0x1E, 690, 720},
      {"filter edge +21 is blocked", 30000, 2021, 0x1E, 3, 5},
      {"first filter reaches round past 3199", 31800, 3185, 0x04, 4 + 394 - 12, 4 + 394 + 12},
      {"below the first filter's reach round is blocked", 31800, 3179, 0x04, 3, 5},
  };
  for (const Row &r : rows) {
    TRawController c(At(r.Carriage, r.Wheel));
    c.Exchange({0x30, r.GainCode});
    const int value = c.Measure(12);
    EXPECT_GE(value, r.Low) << r.Name;
    EXPECT_LE(value, r.High) << r.Name;
  }
}

TEST(ControllerBytes, OtherBytesAreIgnoredAndTheNextCommandIsUnderstood) {
  TRawController c(At(100, 0));
  EXPECT_TRUE(c.Exchange({0x00, 0x01, 0x02, 0x10, 0x20, 0x22, 0x24, 0x26, 0x28, 0x2F, 0x31,
                          0x40, 0x4F, 0x60, 0x7F, 0xA1, 0xFF})
                  .empty());
  EXPECT_EQ(c.Instrument.CommandCount(), 0);
  EXPECT_EQ(c.Exchange({0x21, 0x00, 0x01, 1}), (Bytes{1, 1, 1, 2}));
  EXPECT_EQ(c.Instrument.CarriagePosition(), 101);
}

TEST(ControllerBytes, CommandBytesSplitOverWritesFormOneCommand) {
  TRawController c(At(100, 0));
  EXPECT_TRUE(c.Exchange({0x21}).empty());
  EXPECT_TRUE(c.Exchange({0x00}).empty());
  EXPECT_TRUE(c.Exchange({0x0A}).empty());
  EXPECT_EQ(c.Exchange({4}), (Bytes{1, 1, 1, 2}));
  EXPECT_EQ(c.Instrument.CarriagePosition(), 110);
}

TEST(ControllerPurge, DiscardsAHalfReceivedCommand) {
  for (const Bytes &half : {Bytes{0x21}, Bytes{0x21, 0x00}, Bytes{0x27, 0x00, 0x10}, Bytes{0x30}}) {
    TRawController c(At(100, 400));
    c.Exchange(half);
    c.Instrument.Purge(true, true);
    // Without the purge 0x50 would be taken as the rest of the half command.
    EXPECT_EQ(c.Exchange({0x50}).size(), 1u) << int(half[0]) << " " << half.size();
    EXPECT_EQ(c.Instrument.CarriagePosition(), 100);
    EXPECT_EQ(c.Instrument.WheelPosition(), 400);
  }
}

TEST(ControllerPurge, DiscardsPendingAnswersAndTheReadBack) {
  TRawController c(At(30000, 2000));
  c.Instrument.Send(Bytes{0x50}.data(), 1);
  c.Instrument.RunUntilIdle();
  ASSERT_EQ(c.Instrument.Available(), 1u);
  c.Instrument.Purge(true, true);
  EXPECT_EQ(c.Instrument.Available(), 0u);
  EXPECT_TRUE(c.Exchange({1}).empty()) << "the high byte is no longer due";

  EXPECT_EQ(c.Exchange({0x23, 0xFF, 0xFF, 0}), (Bytes{1, 1, 1, 17}));
  c.Instrument.Purge(true, true);
  EXPECT_TRUE(c.Exchange({1}).empty()) << "the steps not made are no longer due";
  EXPECT_EQ(c.Exchange({0x21, 0x00, 0x01, 0}), (Bytes{1, 1, 1, 2}));
}

// ---- timing on the model clock (no wall clock involved) ----

TEST(ControllerTiming, BytesStepsAndPulsesTakeTheirTime) {
  struct Row {
    const char *Name;
    Bytes Command;
    size_t Answers;
    TSimTicks LastArrival;
  };
  const TSimTicks B = SimByteTicks, Ms = SimTicksPerMs;
  const Row rows[] = {
      // Four bytes in; acknowledgements at once; 1000 steps of 4 ms; final answer.
      {"shift period 4", {0x21, 0x03, 0xE8, 4}, 4, 4 * B + 1000 * 4 * Ms + B},
      {"shift period 0 runs as 1", {0x21, 0x03, 0xE8, 0}, 4, 4 * B + 1000 * Ms + B},
      // Acknowledgements queue on the line: the third arrives 3 byte times later.
      {"zero steps", {0x21, 0x00, 0x00, 9}, 4, 4 * B + 4 * B},
      {"measure k = 7", {0x57}, 1, B + 128 * Ms + B},
      {"measure k = 0", {0x50}, 1, B + 1 * Ms + B},
  };
  for (const Row &r : rows) {
    TRawController c(At(100, 0));
    c.Instrument.Send(r.Command.data(), r.Command.size());
    c.Instrument.AdvanceTo(r.LastArrival - 1);
    EXPECT_EQ(c.Instrument.Available(), r.Answers - 1) << r.Name;
    c.Instrument.AdvanceTo(r.LastArrival);
    EXPECT_EQ(c.Instrument.Available(), r.Answers) << r.Name;
    EXPECT_FALSE(c.Instrument.NextEventTime().has_value()) << r.Name;
  }
}

TEST(ControllerTiming, CarriageIsSeenMovingAndCommandsWaitForTheMove) {
  TRawController c(At(1000, 0));
  const Bytes shift{0x21, 0x00, 0x64, 10};  // 100 steps of 10 ms
  c.Instrument.Send(shift.data(), shift.size());
  const TSimTicks start = 4 * SimByteTicks;
  c.Instrument.AdvanceTo(start + 50 * 10 * SimTicksPerMs);
  EXPECT_EQ(c.Instrument.CarriagePosition(), 1050);
  // A measurement asked for during the move is made after it, at the end.
  c.Instrument.Send(Bytes{0x5C}.data(), 1);
  c.Instrument.RunUntilIdle();
  EXPECT_EQ(c.Drain(), (Bytes{1, 1, 1, 2, 4})) << "final answer, then the dark offset";
  EXPECT_EQ(c.Instrument.CarriagePosition(), 1100);
}

TEST(ControllerTiming, PurgeDuringAMoveSilencesItsFinalAnswerButNotTheMotor) {
  TRawController c(At(1000, 0));
  const Bytes shift{0x21, 0x00, 0x64, 10};
  c.Instrument.Send(shift.data(), shift.size());
  c.Instrument.AdvanceTo(SimTicksPerSecond / 2);
  c.Instrument.Purge(true, true);
  c.Instrument.RunUntilIdle();
  EXPECT_TRUE(c.Drain().empty());
  EXPECT_EQ(c.Instrument.CarriagePosition(), 1100);
  EXPECT_EQ(c.Exchange({0x21, 0x00, 0x01, 1}), (Bytes{1, 1, 1, 2}));
}
