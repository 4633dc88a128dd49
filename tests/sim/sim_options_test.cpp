// SPDX-License-Identifier: Apache-2.0
#include "sim_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Parse(const std::vector<std::string>& args, SimOptions& options) { return ParseSimOptions(args, options); }

TEST(SimOptions, DefaultsDescribeAQuietDiagHandset) {
    SimOptions o;
    ASSERT_EQ(Parse({}, o), "");
    EXPECT_EQ(o.handset.startMode, HandsetMode::DIAG);
    EXPECT_EQ(o.handset.replyPattern, 1);
    EXPECT_EQ(o.handset.offlineAfterPolls, 1);
    EXPECT_TRUE(o.handset.statusReply);
    EXPECT_EQ(o.handset.startStatus, 0);
    EXPECT_FALSE(o.handset.disconnectAfterBytes);
    EXPECT_FALSE(o.onlyBaud);
    EXPECT_EQ(o.throttleBaud, 0u);
    EXPECT_FALSE(o.silent);
}

TEST(SimOptions, EveryKnobIsTaken) {
    SimOptions o;
    ASSERT_EQ(Parse({"--mode",
                     "ds",
                     "--reply-pattern",
                     "2",
                     "--register",
                     "/tmp/r.reg",
                     "--com",
                     "COM12",
                     "--image-out",
                     "/tmp/i.bin",
                     "--only-baud",
                     "460800",
                     "--throttle",
                     "115200",
                     "--version-numbers",
                     "0,5",
                     "--platform",
                     "CORVANE1",
                     "--offline-after",
                     "never",
                     "--no-status-reply",
                     "--rf-mode",
                     "0",
                     "--status-escapes",
                     "3",
                     "--refuse-start",
                     "0x1002",
                     "--bad-block-status",
                     "2",
                     "--bad-check-after-block",
                     "3",
                     "--unasked-response-in-block",
                     "4",
                     "--fail-final",
                     "--fail-nand",
                     "--silent",
                     "--disconnect-after",
                     "70000",
                     "--log",
                     "/tmp/t.log",
                     "--exit-after-reset"},
                    o),
              "");
    EXPECT_EQ(o.handset.startMode, HandsetMode::DS);
    EXPECT_EQ(o.handset.replyPattern, 2);
    EXPECT_EQ(o.registerFile, "/tmp/r.reg");
    EXPECT_EQ(o.comName, "COM12");
    EXPECT_EQ(o.imageOut, "/tmp/i.bin");
    EXPECT_EQ(o.onlyBaud, 460800u);
    EXPECT_EQ(o.throttleBaud, 115200u);
    EXPECT_EQ(o.handset.versionNumbers[0], 0);
    EXPECT_EQ(o.handset.versionNumbers[1], 5);
    EXPECT_EQ(o.handset.platform, "CORVANE1");
    EXPECT_FALSE(o.handset.offlineAfterPolls);
    EXPECT_FALSE(o.handset.statusReply);
    EXPECT_EQ(o.handset.rfMode, 0);
    EXPECT_EQ(o.handset.statusEscapes, 3);
    EXPECT_EQ(o.handset.startStatus, 0x1002);
    EXPECT_EQ(o.handset.badBlockStatus, 2);
    EXPECT_EQ(o.handset.badCheckAfterBlock, 3);
    EXPECT_EQ(o.handset.unaskedResponseInBlock, 4);
    EXPECT_TRUE(o.handset.failFinal);
    EXPECT_TRUE(o.handset.failNand);
    EXPECT_TRUE(o.silent);
    EXPECT_EQ(o.handset.disconnectAfterBytes, 70000u);
    EXPECT_EQ(o.logFile, "/tmp/t.log");
    EXPECT_TRUE(o.exitAfterReset);
}

TEST(SimOptions, ValuesMayFollowAnEqualsSign) {
    SimOptions o;
    ASSERT_EQ(Parse({"--mode=dl", "--offline-after=3", "--refuse-start=4098"}, o), "");
    EXPECT_EQ(o.handset.startMode, HandsetMode::DL);
    EXPECT_EQ(o.handset.offlineAfterPolls, 3);
    EXPECT_EQ(o.handset.startStatus, 0x1002);
}

TEST(SimOptions, BadValuesAreRefusedWithTheOptionNamed) {
    const std::vector<std::vector<std::string>> bad = {
        {"--mode", "at"},
        {"--mode"},
        {"--reply-pattern", "3"},
        {"--version-numbers", "1"},
        {"--version-numbers", "1,256"},
        {"--version-numbers", "-1,2"},
        {"--platform", "TOOLONGTEXT"},
        {"--platform", "a~b"},
        {"--offline-after", "soon"},
        {"--offline-after", "-1"},
        {"--refuse-start", "0"},
        {"--refuse-start", "0x10000"},
        {"--bad-block-status", "0"},
        {"--status-escapes", "8"},
        {"--rf-mode", "2"},
        {"--only-baud", "fast"},
        {"--throttle", "12"},
        {"--disconnect-after", "0"},
        {"--com", "COM0"},
        {"--com", "ttyS0"},
        {"--fail-final=yes"},
    };
    for (const auto& args : bad) {
        SimOptions o;
        const std::string error = Parse(args, o);
        ASSERT_FALSE(error.empty()) << args[0];
        EXPECT_NE(error.find(args[0].substr(0, args[0].find('='))), std::string::npos) << error;
    }
}

TEST(SimOptions, ABenchIsASequenceOfHandsetsEachWithItsOwnKnobsAndTimes) {
    SimOptions o;
    ASSERT_EQ(Parse({"--restart-after", "800", "--unplug-after", "1500", "--swap-time=400", "--commit-time", "2000",
                     "--then", "--fail-nand  --unplug-after 600", "--then",
                     "--platform CORVANE1 --restart-after never --restart-mode diag"},
                    o),
              "");
    EXPECT_EQ(o.times.restartAfterMs, 800u);
    EXPECT_EQ(o.times.restartMode, HandsetMode::DS);  // a restarted handset answers in AT data mode
    EXPECT_EQ(o.times.unplugAfterMs, 1500u);
    EXPECT_EQ(o.times.swapMs, 400u);
    EXPECT_EQ(o.times.commitMs, 2000u);
    ASSERT_EQ(o.nextHandsets.size(), 2u);
    EXPECT_TRUE(o.nextHandsets[0].handset.failNand);
    EXPECT_EQ(o.nextHandsets[0].times.unplugAfterMs, 600u);
    EXPECT_FALSE(o.nextHandsets[0].times.restartAfterMs);  // each its own: nothing inherited...
    EXPECT_EQ(o.nextHandsets[0].times.swapMs, 400u);       // ...but the bench's swap time
    EXPECT_EQ(o.nextHandsets[1].handset.platform, "CORVANE1");
    EXPECT_TRUE(o.nextHandsets[1].times.neverRestarts);
    EXPECT_EQ(o.nextHandsets[1].times.restartMode, HandsetMode::DIAG);
    EXPECT_FALSE(o.handset.failNand);

    // Inside --then only what a handset is: not the line, the files or the process.
    for (const char* other : {"--throttle 115200", "--image-out x", "--silent", "--then --fail-nand", "--bogus"}) {
        SimOptions t;
        EXPECT_NE(Parse({"--then", other}, t).find("--then"), std::string::npos) << other;
    }
    SimOptions bad;
    EXPECT_NE(Parse({"--restart-after", "soon"}, bad).find("or never"), std::string::npos);
    EXPECT_NE(Parse({"--restart-mode", "off"}, bad).find("--restart-mode"), std::string::npos);
}

TEST(SimOptions, EachHandsetHasItsEsnAndALaterOneMayKeepItsOwnSwapTime) {
    SimOptions o;
    ASSERT_EQ(Parse({"--esn", "0x8f2a10c4", "--gsn-format", "plain", "--then", "--esn 7E7D0102 --swap-time 50",
                     "--then", "--gsn-format hex", "--swap-time", "300"},
                    o),
              "");
    EXPECT_EQ(o.handset.esn, 0x8F2A10C4u);
    EXPECT_EQ(o.handset.gsnFormat, HandsetConfig::GsnFormat::kPlain);
    ASSERT_EQ(o.nextHandsets.size(), 2u);
    EXPECT_EQ(o.nextHandsets[0].handset.esn, 0x7E7D0102u);
    EXPECT_EQ(o.nextHandsets[0].times.swapMs, 50u);  // its own
    EXPECT_FALSE(o.nextHandsets[1].handset.esn);     // the bench gives it one
    EXPECT_EQ(o.nextHandsets[1].handset.gsnFormat, HandsetConfig::GsnFormat::kHex);
    EXPECT_EQ(o.nextHandsets[1].times.swapMs, 300u);  // --swap-time came after the --then

    for (const char* bad : {"", "0x", "123456789", "8F2A10CZ", "0x0x12", "-1", " 12"}) {
        SimOptions t;
        EXPECT_NE(Parse({"--esn", bad}, t).find("--esn"), std::string::npos) << bad;
    }
    SimOptions t;
    EXPECT_NE(Parse({"--gsn-format", "dec"}, t).find("--gsn-format"), std::string::npos);
}

TEST(SimOptions, UnknownArgumentsAndHalfARegistrationAreRefused) {
    SimOptions o;
    EXPECT_NE(Parse({"--turbo"}, o).find("--turbo"), std::string::npos);
    SimOptions r;
    EXPECT_EQ(Parse({"--register", "/tmp/x.reg"}, r), "--register and --com go together");
    SimOptions c;
    EXPECT_EQ(Parse({"--com", "COM3"}, c), "--register and --com go together");
}

TEST(SimOptions, HelpNamesEveryOption) {
    const std::string help = SimHelpText();
    for (const char* name : {"--mode",
                             "--reply-pattern",
                             "--register",
                             "--com",
                             "--image-out",
                             "--only-baud",
                             "--throttle",
                             "--version-numbers",
                             "--platform",
                             "--offline-after",
                             "--no-status-reply",
                             "--rf-mode",
                             "--status-escapes",
                             "--refuse-start",
                             "--bad-block-status",
                             "--bad-check-after-block",
                             "--unasked-response-in-block",
                             "--fail-final",
                             "--fail-nand",
                             "--commit-time",
                             "--restart-after",
                             "--restart-mode",
                             "--unplug-after",
                             "--swap-time",
                             "--esn",
                             "--gsn-format",
                             "--then",
                             "--silent",
                             "--disconnect-after",
                             "--log",
                             "--exit-after-reset",
                             "--help"}) {
        EXPECT_NE(help.find(std::string(" ") + name + " "), std::string::npos) << name;
        SimOptions o;
        // Every documented name is also accepted (values where needed).
        const bool flag = std::string(name) == "--no-status-reply" || std::string(name) == "--fail-final" ||
                          std::string(name) == "--fail-nand" || std::string(name) == "--silent" ||
                          std::string(name) == "--exit-after-reset" || std::string(name) == "--help";
        if (flag) {
            EXPECT_EQ(Parse({name}, o), "") << name;
        }
    }
}

}  // namespace
