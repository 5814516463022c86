// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "app/AppError.h"
#include "app/Messages.h"

TEST(Messages, ValuesFillPercentSignsFromLeftToRight) {
  EXPECT_EQ(FormatMessage("Translated: % from %", {3, 10}), "Translated: 3 from 10");
  // A translation that moves both signs still receives the first value first.
  EXPECT_EQ(FormatMessage("% of % translated", {3, 10}), "3 of 10 translated");
  EXPECT_EQ(FormatMessage("File \"%\" not found.", QStringList{"a%b.vtp"}),
            "File \"a%b.vtp\" not found.");
  EXPECT_EQ(FormatMessage("Shift by %", {-100000}), "Shift by -100000");
}

TEST(Messages, DisplayedTextGetsAFullStopAfterLettersDigitsAndQuestionMarks) {
  const struct {
    const char *message, *shown;
  } cases[] = {
      {"Timeout error", "Timeout error."}, {"Timeout error.", "Timeout error."},
      {"Code 7", "Code 7."},               {"Really?", "Really?."},
      {"(x)", "(x)"},                      {"", ""},
  };
  for (const auto &c : cases) EXPECT_EQ(DisplayedErrorText(c.message), c.shown) << c.message;
}

TEST(Messages, RaiseErrorCarriesTheFormattedText) {
  try {
    RaiseError("Device communication error %.", {7});
    FAIL();
  } catch (const EAppError &e) {
    EXPECT_EQ(e.Message(), "Device communication error 7.");
    EXPECT_STREQ(e.what(), "Device communication error 7.");
  }
}
