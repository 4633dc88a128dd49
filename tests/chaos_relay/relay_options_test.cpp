// SPDX-License-Identifier: Apache-2.0
// The relay's command line.
#include "relay_options.h"

#include <gtest/gtest.h>

namespace {

std::string Parse(const std::vector<std::string>& args, RelayOptions& options) {
    options = RelayOptions();
    return ParseRelayOptions(args, options);
}

TEST(RelayOptionsTest, TakesEveryOptionAndKeepsTheDefaultsOtherwise) {
    RelayOptions options;
    ASSERT_EQ(Parse({"--device", "/dev/pts/3"}, options), "");
    EXPECT_EQ(options.device, "/dev/pts/3");
    EXPECT_EQ(options.seed, 1u);
    EXPECT_EQ(options.percent, 4);
    EXPECT_EQ(options.maxDelayMs, 3000);
    ASSERT_EQ(
        Parse({"--seed", "18446744073709551615", "--rate", "100", "--max-delay", "250", "--log", "f", "--device", "d"},
              options),
        "");
    EXPECT_EQ(options.seed, UINT64_MAX);
    EXPECT_EQ(options.percent, 100);
    EXPECT_EQ(options.maxDelayMs, 250);
    EXPECT_EQ(options.logFile, "f");
    ASSERT_EQ(Parse({"-h"}, options), "");
    EXPECT_TRUE(options.help);
}

TEST(RelayOptionsTest, RefusesBadCommandLinesWithAReason) {
    RelayOptions options;
    EXPECT_EQ(Parse({}, options), "--device is required");
    EXPECT_EQ(Parse({"--device"}, options), "--device needs a value");
    EXPECT_EQ(Parse({"--device", "d", "--rate", "101"}, options), "--rate needs a percentage 0 to 100, not \"101\"");
    EXPECT_EQ(Parse({"--device", "d", "--rate", "-1"}, options), "--rate needs a percentage 0 to 100, not \"-1\"");
    EXPECT_EQ(Parse({"--device", "d", "--seed", "x"}, options), "--seed needs a number, not \"x\"");
    EXPECT_EQ(Parse({"--device", "d", "--seed", "18446744073709551616"}, options),
              "--seed needs a number, not \"18446744073709551616\"");
    EXPECT_EQ(Parse({"--device", "d", "--max-delay", "0"}, options),
              "--max-delay needs milliseconds 1 to 600000, not \"0\"");
    EXPECT_EQ(Parse({"--device", "d", "--bogus"}, options), "unknown argument \"--bogus\"");
}

}  // namespace
