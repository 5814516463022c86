// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One entry per fuzz target. Built for libFuzzer (VELTRAVOR_LIBFUZZER, one
// program per target) the entry is LLVMFuzzerTestOneInput; in the core's test
// binary it is <Name>FuzzOne, which the corpus test runs over every stored
// input, so that a finding's regression input keeps being checked without
// clang.
#include <cstddef>
#include <cstdint>

#include <QString>

#if defined(VELTRAVOR_LIBFUZZER)
#define VELTRAVOR_FUZZ_TARGET(Name) \
  extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
#else
#define VELTRAVOR_FUZZ_TARGET(Name) int Name##FuzzOne(const uint8_t *data, size_t size)
#endif

// A broken property of a target: stops the fuzzer (and fails the corpus
// test) with a crash report that points here.
#define FUZZ_CHECK(condition)           \
  do {                                  \
    if (!(condition)) __builtin_trap(); \
  } while (0)

// A scratch folder of this process for targets whose reader takes a file
// (tmpfs when there is one). Created on first use.
QString FuzzScratchFolder();
// Writes bytes to name inside the scratch folder and returns its path.
QString FuzzScratchFile(const QString &name, const uint8_t *data, size_t size);
