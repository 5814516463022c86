// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>

#include <cstdint>

// Status codes of the link calls (the values of the USB chip driver's API).
enum TLinkStatus : uint32_t {
  LINK_OK = 0,
  LINK_INVALID_HANDLE = 1,
  LINK_DEVICE_NOT_FOUND = 2,
  LINK_DEVICE_NOT_OPENED = 3,
  LINK_IO_ERROR = 4,
  LINK_INSUFFICIENT_RESOURCES = 5,
  LINK_INVALID_PARAMETER = 6,
};

// The ten calls through which TDevice talks to the instrument, with the
// arguments and status codes of the USB chip driver. Backends: the USB serial
// port, the in-process simulated instrument, and the scripted fake of the
// tests. One thread at a time uses a link.
class TDeviceLink {
 public:
  virtual ~TDeviceLink() = default;

  // Opens the device whose description is `description` (flags 2: by
  // description). A backend with an explicitly configured port ignores the
  // description.
  virtual uint32_t OpenEx(const QString &description, uint32_t flags) = 0;
  virtual uint32_t SetBaudRate(uint32_t baud) = 0;
  virtual uint32_t SetDataCharacteristics(uint8_t wordLength, uint8_t stopBits,
                                          uint8_t parity) = 0;
  virtual uint32_t SetTimeouts(uint32_t readMs, uint32_t writeMs) = 0;
  // mask: 1 receive queue, 2 transmit queue.
  virtual uint32_t Purge(uint32_t mask) = 0;
  virtual uint32_t Write(const uint8_t *buffer, uint32_t count, uint32_t *written) = 0;
  // Returns true on success (no status code).
  virtual bool SetCommMask(uint32_t mask) = 0;
  // Bytes waiting in the receive queue. A backend may block here for at most
  // 1 ms when nothing is waiting, so that a polling reader does not spin a core.
  virtual uint32_t GetStatus(uint32_t *rxQueue, uint32_t *txQueue, uint32_t *eventStatus) = 0;
  virtual uint32_t Read(uint8_t *buffer, uint32_t count, uint32_t *read) = 0;
  virtual uint32_t Close() = 0;
};

// A steady millisecond tick that wraps at 2^32, as the system's tick counter.
// Injected into the device so that time-out tests run on a fake clock.
class TClock {
 public:
  virtual ~TClock() = default;
  virtual uint32_t Ticks() = 0;
};

// The real clock: milliseconds of a steady clock, truncated to 32 bits.
class TSteadyClock : public TClock {
 public:
  uint32_t Ticks() override;
};
