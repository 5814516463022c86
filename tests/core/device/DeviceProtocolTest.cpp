// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "ErrorOf.h"
#include "QtPrinters.h"
#include "ScriptedLink.h"
#include "app/AppError.h"
#include "device/Device.h"

namespace {

QByteArray Bytes(std::initializer_list<uint8_t> b) {
  return QByteArray(reinterpret_cast<const char *>(b.begin()), qsizetype(b.size()));
}

// Titles and details of the log lines (the time stamp cut off).
QStringList LogEntries(const TDevice &device) {
  QStringList entries;
  for (const QString &line : device.EventLog) entries << line.section(u'\t', 1);
  return entries;
}

class DeviceProtocol : public ::testing::Test {
 protected:
  DeviceProtocol() : device(&link, &link.Clock) {
    device.Opened = true;
    device.WriteLog = true;
  }
  void ExpectScriptDone() { EXPECT_TRUE(link.Done()) << link.Problems().join(u'\n').toStdString(); }

  TScriptedLink link;
  TDevice device;
};

// --- link ------------------------------------------------------------------------

TEST(DeviceLink, EveryStatusHasItsMessage) {
  const struct {
    uint32_t status;
    const char *message;
  } cases[] = {
      {1, "Invalid handle."},
      {2, "Device not found."},
      {3, "Device is not opened."},
      {4, "Input/output error."},
      {5, "Insufficient resources."},
      {6, "Invalid parameter."},
      {7, "Device communication error 7."},
      {0xFFFFFFFF, "Device communication error 4294967295."},
  };
  EXPECT_EQ(ErrorOf([] { TDevice::CheckStatus(0); }), "");
  for (const auto &c : cases)
    EXPECT_EQ(ErrorOf([&] { TDevice::CheckStatus(c.status); }), c.message) << c.status;
}

TEST(DeviceLink, InitializeOpensConfiguresHomesTheWheelAndGoesToTheFirstFilter) {
  TScriptedLink link;
  TDevice device(&link, &link.Clock);
  device.FilterTable = {{1.0, 400}, {0.1, 800}};
  device.PeriodFilter = 4;
  device.WheelPosition = 1234;
  link.Expect({0x30, 0x04})
      // -100000 in two commands: -65535 completes, -34465 stops at home.
      .Expect({0x27, 0xFF, 0xFF, 0x04})
      .Reply({1, 1, 1, 2})
      .Expect({0x27, 0x86, 0xA1, 0x04})
      .Reply({1, 1, 1, 19})
      .Expect({0x01})
      .Reply({0x03})
      .Expect({0x01})
      .Reply({0x20})
      .Expect({0x25, 0x01, 0x90, 0x04})
      .Reply({1, 1, 1, 2});
  device.Initialize();
  EXPECT_TRUE(link.Done()) << link.Problems().join(u'\n').toStdString();
  EXPECT_TRUE(device.Opened);
  EXPECT_EQ(link.Calls.mid(0, 5),
            (QStringList{"OpenEx(Veltravor controller,2)", "SetBaudRate(9600)",
                         "SetDataCharacteristics(8,0,0)", "SetTimeouts(30000,30000)", "Purge(3)"}));
  EXPECT_EQ(link.Writes().first(), Bytes({0x30, 0x04}));  // gains in one write
  EXPECT_EQ(device.WheelPosition, 400);
  EXPECT_EQ(device.AmpF, 16);
  EXPECT_EQ(device.AmpI, 64);

  // A second Initialize on an open link only logs.
  link.Calls.clear();
  device.Initialize();
  EXPECT_TRUE(link.Calls.isEmpty());
}

TEST(DeviceLink, AFailingOpenStepStopsTheSequenceAndLeavesTheLinkClosed) {
  const struct {
    const char *call;
    int callsMade;  // link calls before the failure, the failing one included
    bool handleClosed;
  } cases[] = {
      {"OpenEx", 1, false},
      {"SetBaudRate", 2, true},
      {"SetDataCharacteristics", 3, true},
      {"SetTimeouts", 4, true},
  };
  for (const auto &c : cases) {
    TScriptedLink link;
    TDevice device(&link, &link.Clock);
    device.WriteLog = true;
    link.FailNext(c.call, 7);
    EXPECT_EQ(ErrorOf([&] { device.Initialize(); }), "Device communication error 7.") << c.call;
    EXPECT_FALSE(device.Opened);
    EXPECT_FALSE(link.IsOpen()) << c.call;
    EXPECT_EQ(link.Calls.size(), c.callsMade + (c.handleClosed ? 1 : 0)) << c.call;
    EXPECT_EQ(link.Calls.last() == "Close()", c.handleClosed) << c.call;
    EXPECT_EQ(LogEntries(device),
              (QStringList{"device initialization\t", "ERROR\tDevice communication error 7."}));
  }
}

TEST_F(DeviceProtocol, WriteBytesSendsOneByteOrTwoInOneWrite) {
  device.WriteBytes(0x21);
  device.WriteBytes(0x30, 0);
  device.WriteBytes(0x30, 0x1FF);  // only the low byte of the second
  EXPECT_EQ(link.Writes(),
            (QList<QByteArray>{Bytes({0x21}), Bytes({0x30, 0x00}), Bytes({0x30, 0xFF})}));
  link.FailNext("ShortWrite", 1);
  EXPECT_EQ(ErrorOf([&] { device.WriteBytes(0x30, 4); }), "Write timeout error.");
  link.FailNext("Write", 4);
  EXPECT_EQ(ErrorOf([&] { device.WriteBytes(0x30); }), "Input/output error.");
}

TEST_F(DeviceProtocol, AByteAlreadyWaitingIsReadAfterOneStatusQuery) {
  link.Reply({0x5A});
  EXPECT_EQ(device.ReadByte(30000), 0x5A);
  EXPECT_EQ(link.Clock.Elapsed(), 0);
}

TEST(DeviceReadTimeout, TheTimeOutIsExactAndSurvivesTheTickWrap) {
  // The byte arrives `delay` ms after the read started; the read allows 30000.
  const struct {
    uint32_t clockStart;
    qint64 delay;
    bool timesOut;
  } cases[] = {
      {0, 29999, false},
      {0, 30000, false},
      {0, 30001, true},
      {0xFFFFFFFFu - 100, 30000, false},
      {0xFFFFFFFFu - 100, 30001, true},
      {0xFFFFFFFFu, 30000, false},
      {0xFFFFFFFFu, 40000, true},
  };
  for (const auto &c : cases) {
    TFakeClock clock(c.clockStart);
    TScriptedLink link(&clock);
    TDevice device(&link, &clock);
    link.Reply({0x42}, c.delay);
    const QString error = ErrorOf([&] { device.ReadByte(30000); });
    EXPECT_EQ(error, c.timesOut ? "Timeout error." : "") << c.clockStart << " " << c.delay;
    // A timed-out read gives up as soon as the time has passed.
    if (c.timesOut) {
      EXPECT_EQ(clock.Elapsed(), 30001);
    }
  }
}

TEST(DeviceReadTimeout, TheTimeOutTestComesBeforeTheDataTest) {
  // The status call takes 5 ms and the byte arrives during the call in which
  // the time runs out: the read still fails.
  TScriptedLink link;
  TDevice device(&link, &link.Clock);
  link.PollStepMs = 5;
  link.Reply({0x42}, 100);
  EXPECT_EQ(ErrorOf([&] { device.ReadByte(98); }), "Timeout error.");
}

TEST_F(DeviceProtocol, ReadFailuresOfTheLink) {
  link.CommMaskResult = false;
  EXPECT_EQ(ErrorOf([&] { device.ReadByte(10); }), "Input/output error.");
  link.CommMaskResult = true;
  link.FailNext("GetStatus", 4);
  EXPECT_EQ(ErrorOf([&] { device.ReadByte(10); }), "Input/output error.");
  link.Reply({0x01});
  link.FailNext("Read", 1);
  EXPECT_EQ(ErrorOf([&] { device.ReadByte(10); }), "Invalid handle.");
}

TEST(DeviceClose, ClosesAnOpenLinkAndLogsEveryCall) {
  TScriptedLink link;
  TDevice device(&link, &link.Clock);
  device.WriteLog = true;
  device.Close();  // never opened: logged, the link is not called
  EXPECT_TRUE(link.Calls.isEmpty());
  device.Opened = true;
  link.FailNext("Close", 4);
  EXPECT_EQ(ErrorOf([&] { device.Close(); }), "Input/output error.");
  EXPECT_TRUE(device.Opened);
  device.Close();
  EXPECT_FALSE(device.Opened);
  EXPECT_EQ(LogEntries(device), (QStringList{"device closing\t", "device closing\t",
                                             "ERROR\tInput/output error.", "device closing\t"}));
}

TEST(DeviceClose, DestroyingTheDeviceSwallowsACloseError) {
  TScriptedLink link;
  {
    TDevice device(&link, &link.Clock);
    device.Opened = true;
    link.FailNext("Close", 7);
  }
  EXPECT_EQ(link.Calls, QStringList{"Close()"});
}

// --- commands ------------------------------------------------------------------------

TEST_F(DeviceProtocol, GainCodes) {
  const uint8_t codes[2][7] = {{0x1E, 0x1A, 0x16, 0x12, 0x0E, 0x0A, 0x06},
                               {0x1C, 0x18, 0x14, 0x10, 0x0C, 0x08, 0x04}};
  for (int f = 0; f < 2; ++f)
    for (int i = 0; i < 7; ++i) {
      const uint8_t photo = f == 0 ? 1 : 16, input = uint8_t(1 << i);
      link.Expect({0x30, codes[f][i]});
      device.SetGains(photo, input);
      EXPECT_EQ(device.AmpF, photo);
      EXPECT_EQ(device.AmpI, input);
    }
  ExpectScriptDone();
  EXPECT_EQ(device.EventLog.first().section(u'\t', 1), "gain factors assignment\t1 x 1 = 1");
  EXPECT_EQ(device.EventLog.last().section(u'\t', 1), "gain factors assignment\t16 x 64 = 1024");
}

TEST_F(DeviceProtocol, AnInvalidGainPurgesSendsNothingAndKeepsTheGains) {
  device.AmpF = 16;
  device.AmpI = 4;
  EXPECT_EQ(ErrorOf([&] { device.SetGains(2, 4); }), "Incorrect level for Photo Amplifier: + 2");
  EXPECT_EQ(ErrorOf([&] { device.SetGains(1, 3); }), "Incorrect level for Input Amplifier: + 3");
  EXPECT_EQ(ErrorOf([&] { device.SetGains(1, 128); }),
            "Incorrect level for Input Amplifier: + 128");
  EXPECT_TRUE(link.Written().isEmpty());
  EXPECT_EQ(link.Calls.count("Purge(3)"), 3);
  EXPECT_EQ(device.AmpF, 16);
  EXPECT_EQ(device.AmpI, 4);
  EXPECT_EQ(device.EventLog.size(), 6);
  EXPECT_EQ(device.EventLog[1].section(u'\t', 1),
            "ERROR\tIncorrect level for Photo Amplifier: + 2");
}

TEST_F(DeviceProtocol, MeasureSendsTheRoundedExponentAndSubtractsTheShift) {
  const struct {
    int count;
    uint8_t command;
  } cases[] = {{0, 0x50}, {1, 0x50}, {-5, 0x50},  {3, 0x52},
               {5, 0x52}, {6, 0x53}, {100, 0x57}, {32768, 0x5F}};
  for (const auto &c : cases) {
    link.Expect({c.command}).Reply({0x34}).Expect({0x01}).Reply({0x02});
    EXPECT_EQ(device.Measure(c.count), 0x234) << c.count;
  }
  ExpectScriptDone();
  EXPECT_EQ(device.EventLog[0].section(u'\t', 1), "measurement\t");
  EXPECT_EQ(device.EventLog[1].section(u'\t', 1), "result\t564");

  device.SignalShift = 10;
  link.Expect({0x50}).Reply({0x05}).Expect({0x01}).Reply({0x00});
  EXPECT_EQ(device.Measure(1), 0);  // 5 - 10 is clamped
  link.Expect({0x50}).Reply({0xFF}).Expect({0x01}).Reply({0x03});
  EXPECT_EQ(device.Measure(1), 1013);
  ExpectScriptDone();
}

TEST_F(DeviceProtocol, AZeroShiftSendsNothing) {
  device.CarriagePosition = 1200;
  EXPECT_EQ(device.ShiftMotor(0, 0), 0);
  EXPECT_TRUE(link.Calls.isEmpty());
  EXPECT_EQ(LogEntries(device), QStringList{"carriage shift\t1200+0"});
}

TEST_F(DeviceProtocol, ShiftBytesUseTheMotorsPeriodAndTheDirection) {
  device.PeriodDelayLine = 4;
  device.PeriodFilter = 9;
  device.CarriagePosition = 1200;
  link.Expect({0x21, 0x01, 0x2C, 0x04}).Reply({1, 1, 1, 2});
  link.Expect({0x23, 0x00, 0x32, 0x04}).Reply({1, 1, 1, 2});
  link.Expect({0x25, 0xFF, 0xFF, 0x09}).Reply({1, 1, 1, 2});
  link.Expect({0x27, 0x00, 0x01, 0x09}).Reply({1, 1, 1, 2});
  EXPECT_EQ(device.ShiftMotor(0, 300), 0);
  EXPECT_EQ(device.ShiftMotor(0, -50), 0);
  EXPECT_EQ(device.ShiftMotor(1, 65535), 0);
  EXPECT_EQ(device.ShiftMotor(1, -1), 0);
  ExpectScriptDone();
  // Each byte of a shift goes in its own write.
  EXPECT_EQ(link.Writes().size(), 16);
  EXPECT_EQ(device.CarriagePosition, 1450);
  EXPECT_EQ(device.WheelPosition, 65534);
  EXPECT_EQ(LogEntries(device),
            (QStringList{"carriage shift\t1200+300", "carriage shift\t1500-50",
                         "filter wheel shift\t0+65535", "filter wheel shift\t65535-1"}));
}

TEST_F(DeviceProtocol, ALongShiftIsSplit) {
  link.Expect({0x27, 0xFF, 0xFF, 15}).Reply({1, 1, 1, 2});
  link.Expect({0x27, 0x86, 0xA1, 15}).Reply({1, 1, 1, 2});
  EXPECT_EQ(device.ShiftMotor(1, -100000), 0);
  ExpectScriptDone();
  EXPECT_EQ(device.WheelPosition, -100000);
}

TEST_F(DeviceProtocol, ALongShiftThatStopsEarlySendsNoSecondCommand) {
  device.WheelPosition = 1234;
  // 19 with 64535 (0xFC17) steps not made: the wheel reached home after 1000.
  link.Expect({0x27, 0xFF, 0xFF, 15}).Reply({1, 1, 1, 19});
  link.Expect({0x01}).Reply({0xFC}).Expect({0x01}).Reply({0x17});
  EXPECT_EQ(device.ShiftMotor(1, -100000), -99000);
  ExpectScriptDone();
  EXPECT_EQ(device.WheelPosition, 0);
  EXPECT_EQ(LogEntries(device).last(), "steps not passed\t-64535");
}

TEST_F(DeviceProtocol, AShiftBeyondTwoCommandsIsSentInFullCommands) {
  link.Expect({0x21, 0xFF, 0xFF, 15}).Reply({1, 1, 1, 2});
  link.Expect({0x21, 0xFF, 0xFF, 15}).Reply({1, 1, 1, 2});
  link.Expect({0x21, 0x00, 0x02, 15}).Reply({1, 1, 1, 2});
  EXPECT_EQ(device.ShiftMotor(0, 131072), 0);
  ExpectScriptDone();
  EXPECT_EQ(device.CarriagePosition, 131072);
}

TEST_F(DeviceProtocol, AnswerCodesOfAShift) {
  const struct {
    const char *name;
    int motor;
    int32_t steps;
    uint8_t answer;
    int32_t positionAfter;  // of the motor, which starts at 1000
    int32_t result;
    bool stepsNotPassedLine;
  } cases[] = {
      // 120 steps not made in every case.
      {"carriage stopped forward", 0, 500, 16, 1380, 120, true},
      {"carriage stopped backward", 0, -500, 16, 620, -120, true},
      {"carriage at its limit", 0, -2000, 17, 0, -120, true},
      {"wheel stopped", 1, -500, 18, 620, -120, true},
      {"wheel home backward", 1, -1200, 19, 0, -120, true},
      {"wheel home forward goes round", 1, 500, 19, 1500, 0, false},
      {"unknown answer", 0, 500, 5, 1000, 120, true},
  };
  for (const auto &c : cases) {
    TScriptedLink link;
    TDevice device(&link, &link.Clock);
    device.Opened = true;
    device.WriteLog = true;
    device.CarriagePosition = device.WheelPosition = 1000;
    const uint32_t magnitude = uint32_t(std::abs(c.steps));
    link.Expect({uint8_t(0x21 | (c.motor << 2) | (c.steps < 0 ? 2 : 0)), uint8_t(magnitude >> 8),
                 uint8_t(magnitude), 15})
        .Reply({1, 1, 1, c.answer})
        .Expect({0x01})
        .Reply({0x00})
        .Expect({0x01})
        .Reply({120});
    EXPECT_EQ(device.ShiftMotor(c.motor, c.steps), c.result) << c.name;
    EXPECT_TRUE(link.Done()) << c.name << ": " << link.Problems().join(u'\n').toStdString();
    EXPECT_EQ(c.motor == 0 ? device.CarriagePosition : device.WheelPosition, c.positionAfter)
        << c.name;
    EXPECT_EQ(c.motor == 0 ? device.WheelPosition : device.CarriagePosition, 1000) << c.name;
    EXPECT_EQ(LogEntries(device).last().startsWith("steps not passed"), c.stepsNotPassedLine)
        << c.name;
  }
}

TEST(DeviceShiftFaults, BadAnswersRaiseAndKeepThePosition) {
  const struct {
    const char *name;
    int motor;
    QByteArray answer;
    const char *message;
  } cases[] = {
      {"first acknowledgement", 0, Bytes({0}), "Incorrect device answer."},
      {"third acknowledgement", 0, Bytes({1, 1, 2}), "Incorrect device answer."},
      {"wheel answered 16", 1, Bytes({1, 1, 1, 16}), "Incorrect device answer."},
      {"wheel answered 17", 1, Bytes({1, 1, 1, 17}), "Incorrect device answer."},
      {"carriage answered 18", 0, Bytes({1, 1, 1, 18}), "Incorrect device answer."},
      {"carriage answered 19", 0, Bytes({1, 1, 1, 19}), "Incorrect device answer."},
      {"no final answer", 0, Bytes({1, 1, 1}), "Timeout error."},
  };
  for (const auto &c : cases) {
    TScriptedLink link;
    TDevice device(&link, &link.Clock);
    device.Opened = true;
    device.WriteLog = true;
    device.CarriagePosition = device.WheelPosition = 1000;
    link.Expect({uint8_t(0x21 | (c.motor << 2)), 0x00, 0x64, 15}).Reply(c.answer);
    EXPECT_EQ(ErrorOf([&] { device.ShiftMotor(c.motor, 100); }), c.message) << c.name;
    EXPECT_TRUE(link.Done()) << c.name << ": " << link.Problems().join(u'\n').toStdString();
    EXPECT_EQ(device.CarriagePosition, 1000) << c.name;
    EXPECT_EQ(device.WheelPosition, 1000) << c.name;
    EXPECT_EQ(LogEntries(device).last(), QString("ERROR\t") + c.message) << c.name;
  }
}

TEST(DeviceShiftFaults, TheFinalAnswerMayTakeTenMinutes) {
  TFakeClock clock(0xFFFFFFFFu - 5000);  // the wait crosses the tick wrap
  TScriptedLink link(&clock);
  TDevice device(&link, &clock);
  device.Opened = true;
  link.Expect({0x21, 0x00, 0x64, 15}).Reply({1, 1, 1}).Reply({2}, 600000);
  EXPECT_EQ(device.ShiftMotor(0, 100), 0);
  link.Expect({0x21, 0x00, 0x64, 15}).Reply({1, 1, 1}).Reply({2}, 600001);
  EXPECT_EQ(ErrorOf([&] { device.ShiftMotor(0, 100); }), "Timeout error.");
  EXPECT_EQ(device.CarriagePosition, 100);
}

TEST(DeviceNotOpened, EveryCommandRefusesAndLogs) {
  TScriptedLink link;
  TDevice device(&link, &link.Clock);
  device.WriteLog = true;
  EXPECT_EQ(ErrorOf([&] { device.SetGains(16, 64); }), "Device is not opened.");
  EXPECT_EQ(ErrorOf([&] { device.ShiftMotor(0, 100); }), "Device is not opened.");
  EXPECT_EQ(ErrorOf([&] { device.ShiftMotor(1, 0); }), "Device is not opened.");
  EXPECT_EQ(ErrorOf([&] { device.Measure(1); }), "Device is not opened.");
  EXPECT_TRUE(link.Calls.isEmpty());
  EXPECT_EQ(LogEntries(device),
            (QStringList{"gain factors assignment\t16 x 64 = 1024", "ERROR\tDevice is not opened.",
                         "carriage shift\t0+100", "ERROR\tDevice is not opened.",
                         "filter wheel shift\t0+0", "ERROR\tDevice is not opened.", "measurement\t",
                         "ERROR\tDevice is not opened."}));
}

// --- filter and gain stepping ---------------------------------------------------------

TEST_F(DeviceProtocol, FilterSteppingFollowsTheTable) {
  device.FilterTable = {{1.0, 0}, {0.1, 400}, {0.01, 800}};
  device.WheelPosition = 0;
  EXPECT_FLOAT_EQ(device.CurrentTransmission(), 1.0f);
  link.Expect({0x25, 0x01, 0x90, 15}).Reply({1, 1, 1, 2});
  EXPECT_TRUE(device.NextFilter());
  EXPECT_FLOAT_EQ(device.CurrentTransmission(), 0.1f);
  link.Expect({0x25, 0x01, 0x90, 15}).Reply({1, 1, 1, 2});
  EXPECT_TRUE(device.NextFilter());
  EXPECT_FALSE(device.NextFilter());
  link.Expect({0x27, 0x01, 0x90, 15}).Reply({1, 1, 1, 2});
  EXPECT_TRUE(device.PreviousFilter());
  EXPECT_EQ(device.WheelPosition, 400);
  // Between filters: the next lower and higher records.
  device.WheelPosition = 500;
  EXPECT_EQ(ErrorOf([&] { device.CurrentTransmission(); }), "Unknown filter transmission.");
  link.Expect({0x27, 0x00, 0x64, 15}).Reply({1, 1, 1, 2});
  EXPECT_TRUE(device.PreviousFilter());
  device.WheelPosition = 0;
  EXPECT_FALSE(device.PreviousFilter());
  device.WheelPosition = 900;
  EXPECT_FALSE(device.NextFilter());
  ExpectScriptDone();
}

TEST_F(DeviceProtocol, GainStepsHalveAndDoubleTheTotal) {
  // Going down from 16 x 64 and up from 1 x 1: the pairs met on the way.
  const QList<QPair<int, int>> down = {{16, 32}, {16, 16}, {16, 8}, {16, 4}, {16, 2},
                                       {16, 1},  {1, 8},   {1, 4},  {1, 2},  {1, 1}};
  const QList<QPair<int, int>> up = {{1, 2},  {1, 4},  {1, 8},   {1, 16},  {1, 32},
                                     {1, 64}, {16, 8}, {16, 16}, {16, 32}, {16, 64}};
  device.AmpF = 16;
  device.AmpI = 64;
  for (const auto &[f, i] : down) {
    ASSERT_TRUE(device.GainDown());
    EXPECT_EQ(device.AmpF, f);
    EXPECT_EQ(device.AmpI, i);
  }
  const qsizetype sent = link.Writes().size();
  EXPECT_FALSE(device.GainDown());
  for (const auto &[f, i] : up) {
    ASSERT_TRUE(device.GainUp());
    EXPECT_EQ(device.AmpF, f);
    EXPECT_EQ(device.AmpI, i);
  }
  EXPECT_FALSE(device.GainUp());
  EXPECT_EQ(link.Writes().size(), sent + up.size());  // the refused steps send nothing
}

}  // namespace

TEST(DeviceReadTimeout, EveryAnswerButTheFinalShiftAnswerAllowsThirtySeconds) {
  // A carriage move that stops short (acknowledgements, final answer, the two
  // read-backs of the steps not made), then a measurement (two bytes). One
  // answer at a time comes late; the final shift answer has its own ten minutes.
  const char *const answers[] = {
      "first acknowledgement", "second acknowledgement", "third acknowledgement", "high read-back",
      "low read-back",         "measurement low byte",   "measurement high byte"};
  for (int late = 0; late < 7; ++late) {
    for (const qint64 delay : {qint64(30000), qint64(30001)}) {
      const auto d = [&](int answer) { return answer == late ? delay : 0; };
      TScriptedLink link;
      TDevice device(&link, &link.Clock);
      device.Opened = true;
      link.Expect({0x21, 0x00, 0x64, 15})
          .Reply({1}, d(0))
          .Reply({1}, d(1))
          .Reply({1}, d(2))
          .Reply({16}, 599000)
          .Expect({1})
          .Reply({0}, d(3))
          .Expect({1})
          .Reply({40}, d(4));
      const QString shift = ErrorOf([&] { device.ShiftMotor(0, 100); });
      link.Expect({0x50}).Reply({0x34}, d(5)).Expect({1}).Reply({0x02}, d(6));
      const QString measure = shift.isEmpty() ? ErrorOf([&] { device.Measure(1); }) : QString();
      const QString error = shift.isEmpty() ? measure : shift;
      EXPECT_EQ(error, delay > 30000 ? "Timeout error." : "") << answers[late] << " " << delay;
      if (delay == 30000) {
        EXPECT_EQ(device.CarriagePosition, 60) << answers[late];
      }
    }
  }
}
