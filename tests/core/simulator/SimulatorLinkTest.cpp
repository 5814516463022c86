// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QFile>
#include <chrono>

#include "app/Paths.h"
#include "app/TextFile.h"
#include "simulator/SimulatorFiles.h"
#include "simulator/SimulatorLink.h"

using Bytes = std::vector<uint8_t>;

namespace {
const QString Description = QStringLiteral("Veltravor controller");

TSimulatorConfig Instant(int carriage = 1000, int wheel = 400) {
  TSimulatorConfig config;
  config.Speed = 0;
  config.KeepState = false;
  config.Carriage = carriage;
  config.Wheel = wheel;
  return config;
}

void OpenLine(TSimulatorLink &link) {
  ASSERT_EQ(link.OpenEx(Description, 2), LINK_OK);
  ASSERT_EQ(link.SetBaudRate(9600), LINK_OK);
  ASSERT_EQ(link.SetDataCharacteristics(8, 0, 0), LINK_OK);
  ASSERT_EQ(link.SetTimeouts(30000, 30000), LINK_OK);
}

void Write(TSimulatorLink &link, const Bytes &bytes) {
  uint32_t written = 0;
  ASSERT_EQ(link.Write(bytes.data(), uint32_t(bytes.size()), &written), LINK_OK);
  ASSERT_EQ(written, bytes.size());
}

// Polls like the device object: status until count bytes wait, then reads.
Bytes ReadAll(TSimulatorLink &link, size_t count, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  uint32_t rx = 0, tx = 0, ev = 1;
  while (std::chrono::steady_clock::now() < deadline) {
    if (link.GetStatus(&rx, &tx, &ev) != LINK_OK) return {};
    if (rx >= count) break;
  }
  Bytes bytes(rx);
  uint32_t read = 0;
  if (rx > 0) link.Read(bytes.data(), rx, &read);
  bytes.resize(read);
  return bytes;
}
}  // namespace

TEST(SimulatorLink, OpensOnlyAsTheInstrumentsUsbChip) {
  TSimulatorLink link(Instant());
  uint32_t rx, tx, ev;
  EXPECT_EQ(link.GetStatus(&rx, &tx, &ev), LINK_INVALID_HANDLE) << "not opened yet";
  EXPECT_FALSE(link.SetCommMask(1));
  EXPECT_EQ(link.Close(), LINK_INVALID_HANDLE);
  EXPECT_EQ(link.OpenEx("Other device", 2), LINK_DEVICE_NOT_FOUND);
  EXPECT_EQ(link.OpenEx(Description, 1), LINK_DEVICE_NOT_FOUND) << "flags 1: by serial number";
  EXPECT_EQ(link.OpenEx(Description, 2), LINK_OK);
  EXPECT_EQ(link.OpenEx(Description, 2), LINK_DEVICE_NOT_OPENED) << "one handle at a time";
  EXPECT_TRUE(link.SetCommMask(1));
  EXPECT_EQ(link.SetBaudRate(0), LINK_INVALID_PARAMETER);
  EXPECT_EQ(link.SetDataCharacteristics(8, 1, 0), LINK_INVALID_PARAMETER);
  EXPECT_EQ(link.Close(), LINK_OK);
  EXPECT_EQ(link.OpenEx(Description, 2), LINK_OK) << "reopens after close";
}

TEST(SimulatorLink, AtSpeedZeroAnswersAreReadyAtOnce) {
  TSimulatorLink link(Instant());
  OpenLine(link);
  for (uint8_t b : Bytes{0x21, 0x00, 0x0A, 200}) Write(link, {b});  // 10 steps of 200 ms
  uint32_t rx = 0, tx = 9, ev = 1;
  ASSERT_EQ(link.GetStatus(&rx, &tx, &ev), LINK_OK);
  EXPECT_EQ(rx, 4u);
  EXPECT_EQ(tx, 0u);
  Bytes answer(4);
  uint32_t read = 0;
  ASSERT_EQ(link.Read(answer.data(), 4, &read), LINK_OK);
  EXPECT_EQ(read, 4u);
  EXPECT_EQ(answer, (Bytes{1, 1, 1, 2}));
  EXPECT_EQ(link.Instrument().CarriagePosition(), 1010);
  // Reading more than is there returns what is there.
  ASSERT_EQ(link.Read(answer.data(), 1, &read), LINK_OK);
  EXPECT_EQ(read, 0u);
}

TEST(SimulatorLink, PurgeOfBothQueuesResynchronises) {
  TSimulatorLink link(Instant());
  OpenLine(link);
  Write(link, {0x50});      // low byte waits, high byte due on a byte 1
  Write(link, {0x21, 0x00});  // and half a shift command
  ASSERT_EQ(link.Purge(3), LINK_OK);
  uint32_t rx = 9, tx, ev;
  ASSERT_EQ(link.GetStatus(&rx, &tx, &ev), LINK_OK);
  EXPECT_EQ(rx, 0u);
  Write(link, {0x30, 0x04});
  Write(link, {0x50});
  EXPECT_EQ(ReadAll(link, 1, std::chrono::milliseconds(100)).size(), 1u);
  EXPECT_EQ(link.Instrument().PhotoGain(), 16);
  EXPECT_EQ(link.Instrument().InputGain(), 64);
}

TEST(SimulatorLink, BytesAtOtherLineSettingsAreLost) {
  TSimulatorLink link(Instant());
  OpenLine(link);
  ASSERT_EQ(link.SetBaudRate(19200), LINK_OK);
  Write(link, {0x50});
  uint32_t rx = 9, tx, ev;
  ASSERT_EQ(link.GetStatus(&rx, &tx, &ev), LINK_OK);
  EXPECT_EQ(rx, 0u);
  ASSERT_EQ(link.SetBaudRate(9600), LINK_OK);
  Write(link, {0x50});
  EXPECT_EQ(ReadAll(link, 1, std::chrono::milliseconds(100)).size(), 1u);
}

TEST(SimulatorLink, DroppedLinkFailsEveryCallWithTheIoStatus) {
  TSimulatorConfig config = Instant();
  config.Faults.DropLink = 1;
  TSimulatorLink link(config);
  OpenLine(link);
  Write(link, {0x50});  // the write that carries the command still succeeds
  uint8_t buffer[4] = {};
  uint32_t n = 0, rx = 0, tx = 0, ev = 0;
  EXPECT_EQ(link.GetStatus(&rx, &tx, &ev), LINK_IO_ERROR);
  EXPECT_EQ(link.Read(buffer, 1, &n), LINK_IO_ERROR);
  EXPECT_EQ(link.Write(buffer, 1, &n), LINK_IO_ERROR);
  EXPECT_EQ(link.Purge(3), LINK_IO_ERROR);
  EXPECT_FALSE(link.SetCommMask(1));
  EXPECT_EQ(link.SetBaudRate(9600), LINK_IO_ERROR);
  EXPECT_EQ(link.SetDataCharacteristics(8, 0, 0), LINK_IO_ERROR);
  EXPECT_EQ(link.SetTimeouts(1, 1), LINK_IO_ERROR);
  EXPECT_EQ(link.Close(), LINK_IO_ERROR);
  EXPECT_EQ(link.OpenEx(Description, 2), LINK_IO_ERROR);
}

TEST(SimulatorLink, ModelTimeFollowsTheWallClockScaled) {
  // 1000 steps of 4 ms = 4 s of model time at speed 0.01: about 40 ms.
  TSimulatorConfig config = Instant();
  config.Speed = 0.01;
  TSimulatorLink link(config);
  OpenLine(link);
  const auto start = std::chrono::steady_clock::now();
  for (uint8_t b : Bytes{0x21, 0x03, 0xE8, 4}) Write(link, {b});
  const Bytes answer = ReadAll(link, 4, std::chrono::seconds(5));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(answer, (Bytes{1, 1, 1, 2}));
  EXPECT_GE(elapsed, std::chrono::milliseconds(40));
  EXPECT_LT(elapsed, std::chrono::milliseconds(400));
}

TEST(SimulatorLink, ReadWaitsForItsBytesUpToTheReadTimeout) {
  TSimulatorConfig config = Instant();
  config.Speed = 0.05;  // 128 ms of pulses: about 6.4 ms
  TSimulatorLink link(config);
  OpenLine(link);
  Write(link, {0x57});
  uint8_t low = 0;
  uint32_t read = 0;
  ASSERT_EQ(link.Read(&low, 1, &read), LINK_OK);
  EXPECT_EQ(read, 1u);
  ASSERT_EQ(link.SetTimeouts(20, 20), LINK_OK);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(link.Read(&low, 1, &read), LINK_OK) << "nothing asked for: the time-out passes";
  EXPECT_EQ(read, 0u);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
}

TEST(SimulatorState, PositionsAreKeptBetweenRuns) {
  QFile::remove(TPaths::SimulatorStateFile());
  TSimulatorConfig config;
  config.Speed = 0;
  {
    auto link = CreateSimulatorLink(config);
    EXPECT_EQ(link->Instrument().CarriagePosition(), SimulatorFirstCarriage);
    EXPECT_EQ(link->Instrument().WheelPosition(), SimulatorFirstWheel);
    OpenLine(*link);
    Write(*link, {0x23, 0x01, 0x00, 0});
    Write(*link, {0x25, 0x00, 0x10, 0});
    EXPECT_EQ(link->Close(), LINK_OK);
  }
  {
    auto link = CreateSimulatorLink(config);
    EXPECT_EQ(link->Instrument().CarriagePosition(), SimulatorFirstCarriage - 256);
    EXPECT_EQ(link->Instrument().WheelPosition(), SimulatorFirstWheel + 16);
    // Destroyed without Close: the destructor keeps the positions too.
    OpenLine(*link);
    Write(*link, {0x21, 0x00, 0x06, 0});
  }
  EXPECT_EQ(LoadSimulatorState().Carriage, SimulatorFirstCarriage - 250);

  // The --carriage option overrides what was kept.
  config.Carriage = 7;
  EXPECT_EQ(CreateSimulatorLink(config)->Instrument().CarriagePosition(), 7);
  QFile::remove(TPaths::SimulatorStateFile());
}

TEST(SimulatorState, UnreadableValuesFallBackToFirstPowerOn) {
  ASSERT_TRUE(WriteTextLines(TPaths::SimulatorStateFile(), {"[State]", "Carriage=abc", "Wheel=77"}));
  const TSimulatorState state = LoadSimulatorState();
  EXPECT_EQ(state.Carriage, SimulatorFirstCarriage);
  EXPECT_EQ(state.Wheel, 77);
  QFile::remove(TPaths::SimulatorStateFile());
}

TEST(SimulatorSettings, SeededOnceWithTheCalibrationTable) {
  const QString file = TPaths::SimulatorSettingsFile();
  QFile::remove(file);
  QString error;
  ASSERT_TRUE(EnsureSimulatorSettings(&error)) << error.toStdString();
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(),
            QByteArray("[General]\r\nfilterTable=1;0;0.0923;400;0.00871;800;0.000937;1200;"
                       "8.93E-5;1600;9.1E-6;2000;\r\n"));
  f.close();

  // An existing file is the operator's: never rewritten.
  ASSERT_TRUE(WriteTextLines(file, {"[General]", "filterTable=1;0;"}));
  ASSERT_TRUE(EnsureSimulatorSettings(&error));
  QStringList lines;
  ASSERT_TRUE(ReadTextLines(file, lines));
  EXPECT_EQ(lines, (QStringList{"[General]", "filterTable=1;0;"}));
  QFile::remove(file);
}
