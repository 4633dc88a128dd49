// SPDX-License-Identifier: Apache-2.0
// The port numbers the window lists for a port list text.
#include "app/common/port_numbers.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using Ports = std::vector<uint32_t>;

TEST(PortNumbers, ListIsSortedByNumberNotByText) {
    EXPECT_EQ(ParsePortNumbers("COM10;COM1;COM3"), (Ports{1, 3, 10}));
    EXPECT_EQ(ParsePortNumbers("COM7"), (Ports{7}));
    EXPECT_EQ(ParsePortNumbers("COM101;COM21;COM2"), (Ports{2, 21, 101}));
}

TEST(PortNumbers, NoTextMeansNoPort) {
    EXPECT_EQ(ParsePortNumbers(nullptr), Ports{});
    EXPECT_EQ(ParsePortNumbers(""), Ports{});
    EXPECT_EQ(ParsePortNumbers(";"), Ports{});
    EXPECT_EQ(ParsePortNumbers("COM4;;COM2;"), (Ports{2, 4}));
}

TEST(PortNumbers, NumberIsReadAfterTheLastUpperCaseM) {
    const auto number = [](const char* name) { return PortNumberFromName(name, name + std::strlen(name)); };
    EXPECT_EQ(number("COM12"), 12u);
    EXPECT_EQ(number("\\\\.\\COM12"), 12u);
    EXPECT_EQ(number("MOM5"), 5u);
    EXPECT_EQ(number("COM 8"), 8u);
    EXPECT_EQ(number("COM3x"), 3u);
    // Without an upper-case M and not starting with a digit: port 0, listed like any other.
    EXPECT_EQ(number("Port"), 0u);
    EXPECT_EQ(number("com4"), 0u);
    EXPECT_EQ(number("COMx"), 0u);
    EXPECT_EQ(number("9"), 9u);
    EXPECT_EQ(ParsePortNumbers("COM2;tty"), (Ports{0, 2}));
}

TEST(PortNumbers, SignsAndHugeNumbersStayWithin32Bits) {
    const auto number = [](const char* name) { return PortNumberFromName(name, name + std::strlen(name)); };
    EXPECT_EQ(number("COM-1"), 0xFFFFFFFFu);
    EXPECT_EQ(number("COM+4"), 4u);
    EXPECT_EQ(number("COM99999999999999999999999"), 0x7FFFFFFFu);
    // Unsigned order puts a negative number last.
    EXPECT_EQ(ParsePortNumbers("COM-1;COM5"), (Ports{5, 0xFFFFFFFFu}));
}

TEST(PortNames, EveryFrontEndTakesCom1ToCom999InAnyCaseWithOrWithoutTheDevicePrefix) {
    EXPECT_EQ(NormalisePortName("com7"), "COM7");
    EXPECT_EQ(NormalisePortName("\\\\.\\cOm12"), "COM12");
    EXPECT_EQ(NormalisePortName("COM999"), "COM999");
    for (const char* bad : {"COM", "COM0", "COM07", "COM1000", "COMx", "COM-1", "LPT1", "/dev/ttyUSB0", ""}) {
        EXPECT_FALSE(NormalisePortName(bad).has_value()) << bad;
    }
}

}  // namespace
