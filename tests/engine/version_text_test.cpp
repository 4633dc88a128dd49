// SPDX-License-Identifier: Apache-2.0
#include "engine/version_text.h"

#include <gtest/gtest.h>

namespace {

TEST(NewVersion, TwoCharactersBeforeFirstFullStop) {
    EXPECT_EQ(NewVersionOf("VX100_05.12"), "05");
    EXPECT_EQ(NewVersionOf("ab12.3.4"), "12");
}

TEST(NewVersion, EarlyOrMissingFullStopTakesFirstTwoCharacters) {
    EXPECT_EQ(NewVersionOf("1.23"), "1.");    // full stop at position 1: the stop is included
    EXPECT_EQ(NewVersionOf(".123"), ".1");    // position 0
    EXPECT_EQ(NewVersionOf("ABCDEF"), "AB");  // none
}

TEST(NewVersion, ShortTextsYieldWhatThereIs) {
    EXPECT_EQ(NewVersionOf("7"), "7");
    EXPECT_EQ(NewVersionOf(""), "");
}

TEST(OldVersion, JoinsTheTwoBytesAsDecimals) {
    EXPECT_EQ(OldVersionOf(1, 2), "12");
    EXPECT_EQ(OldVersionOf(1, 12), "112");
    EXPECT_EQ(OldVersionOf(0, 5), "05");
    EXPECT_EQ(OldVersionOf(255, 255), "255255");
}

TEST(SameVersion, ComparesWithoutCase) {
    EXPECT_TRUE(SameVersion("0a", "0A"));
    EXPECT_TRUE(SameVersion(NewVersionOf("r05.1"), OldVersionOf(0, 5)));
    EXPECT_FALSE(SameVersion("05", "06"));
    EXPECT_FALSE(SameVersion("05", "050"));
}

TEST(NewVersion, ShownOnWholeCharacters) {
    // "é" (C3 A9) and "€" (E2 82 AC) before the full stop: the compared bytes cut into them.
    EXPECT_EQ(NewVersionOf("V\xC3\xA9.1"), "\xC3\xA9");
    EXPECT_EQ(NewVersionShown("V\xC3\xA9.1"), "\xC3\xA9");
    EXPECT_EQ(NewVersionOf("VX\xE2\x82\xAC.1"), "\x82\xAC");
    EXPECT_EQ(NewVersionShown("VX\xE2\x82\xAC.1"), "\xE2\x82\xAC");
    EXPECT_EQ(NewVersionShown("\xE2\x82\xACX"), "\xE2\x82\xAC");
    EXPECT_EQ(NewVersionShown("VX12.01"), "12");
    EXPECT_EQ(NewVersionShown(""), "");
}

}  // namespace
