// SPDX-License-Identifier: Apache-2.0
// Library texts as formats: which conversions a text carries, and filling exactly one argument.
#include "app/common/format_text.h"

#include <gtest/gtest.h>

namespace {

using Conversions = std::vector<std::string>;

TEST(FormatText, ConversionsAreFoundWithTheirFlagsAndPercentSignsAreNot) {
    EXPECT_EQ(FormatConversions("plain"), Conversions{});
    EXPECT_EQ(FormatConversions("Tool %s"), Conversions{"%s"});
    EXPECT_EQ(FormatConversions("%d%% done"), Conversions{"%d"});
    EXPECT_EQ(FormatConversions("100%%"), Conversions{});
    EXPECT_EQ(FormatConversions("%-5d and %08.3lf and %s"), (Conversions{"%-5d", "%08.3lf", "%s"}));
    EXPECT_EQ(FormatConversions("ends with %"), Conversions{"%"});
    EXPECT_EQ(FormatConversions("%%%s"), Conversions{"%s"});
}

TEST(FormatText, TextArgumentFillsTheFirstPlainStringConversion) {
    EXPECT_EQ(FormatText("Vexlor %s Tool", "V26"), "Vexlor V26 Tool");
    EXPECT_EQ(FormatText("no argument", "V26"), "no argument");
    EXPECT_EQ(FormatText("%s and %s", "V26"), "V26 and %s");
    EXPECT_EQ(FormatText("50%% of %s", "V26"), "50% of V26");
}

TEST(FormatText, NumberFillsTheFirstPlainIntegerConversion) {
    EXPECT_EQ(FormatNumber("Downloading: %d%% done", 42), "Downloading: 42% done");
    EXPECT_EQ(FormatNumber("%d", -7), "-7");
    EXPECT_EQ(FormatNumber("%d%d", 1), "1%d");
}

TEST(FormatText, DamagedTextsNeverReadAMissingArgument) {
    // What printf would take as reading a pointer or a second argument stays literal.
    EXPECT_EQ(FormatText("%n%p%x %s", "V26"), "%n%p%x V26");
    EXPECT_EQ(FormatNumber("%s %d", 5), "%s 5");
    EXPECT_EQ(FormatText("trailing %", "V26"), "trailing %");
    EXPECT_EQ(FormatNumber("%5d", 5), "%5d");
}

}  // namespace
