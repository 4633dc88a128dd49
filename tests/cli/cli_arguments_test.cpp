// SPDX-License-Identifier: Apache-2.0
#include "app/cli/cli_arguments.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

struct Parsed {
    bool ok;
    CliArguments args;
    std::string error;
};

Parsed Parse(std::vector<std::string> args, bool windows = false) {
    Parsed parsed;
    parsed.ok = ParseCliArguments(args, parsed.args, parsed.error, windows);
    return parsed;
}

TEST(CliArguments, NoArgumentsIsTheWindow) {
    const Parsed p = Parse({});
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.args.command, CliCommand::kWindow);
}

TEST(CliArguments, BenchIsTheBenchWindowAndTakesNothingElse) {
    EXPECT_EQ(Parse({"--bench"}).args.command, CliCommand::kBench);
    const Parsed p = Parse({"--bench", "--cli", "--port", "COM3"});
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.error, "--bench takes no other options");
}

TEST(CliArguments, HelpAndVersionWinWherever) {
    EXPECT_EQ(Parse({"--cli", "--port", "COM3", "--help"}).args.command, CliCommand::kHelp);
    EXPECT_EQ(Parse({"-h"}).args.command, CliCommand::kHelp);
    EXPECT_EQ(Parse({"/?"}, true).args.command, CliCommand::kHelp);
    EXPECT_EQ(Parse({"--cli", "/?"}).args.command, CliCommand::kHelp);
    EXPECT_EQ(Parse({"--bogus", "--version"}).args.command, CliCommand::kVersion);
}

TEST(CliArguments, DownloadTakesAPortAndALanguage) {
    Parsed p = Parse({"--cli", "--port", "COM12", "--lang", "1"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.args.command, CliCommand::kDownload);
    EXPECT_EQ(p.args.ports, std::vector<std::string>{"COM12"});
    EXPECT_EQ(p.args.language, 1);

    p = Parse({"--port=com7", "--cli"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.args.ports, std::vector<std::string>{"COM7"});
    EXPECT_EQ(p.args.language, 0);

    p = Parse({"--cli", "--port", "\\\\.\\COM20"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.args.ports, std::vector<std::string>{"COM20"});
}

TEST(CliArguments, PortTasksTakeDevicePathsInfoWaitQuietAndLogOverrides) {
    Parsed p = Parse({"--cli", "--port", "/dev/serial/by-id/usb-handset", "--info", "--wait=30", "-q", "--log-level",
                      "-1", "--log-dir", "/tmp/logs"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.args.command, CliCommand::kInfo);
    EXPECT_EQ(p.args.ports, std::vector<std::string>{"/dev/serial/by-id/usb-handset"});
    EXPECT_EQ(p.args.waitSeconds, 30);
    EXPECT_TRUE(p.args.quiet);
    EXPECT_EQ(p.args.logLevel, -1);
    EXPECT_EQ(p.args.logFolder, "/tmp/logs");
    p = Parse({"--cli", "--verify", "--log-level", "5"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.args.logLevel, 5);
    EXPECT_FALSE(p.args.waitSeconds.has_value());
}

TEST(CliArguments, SeveralPortsRepeatedOrCommaSeparatedKeepTheirOrderAndDuplicates) {
    Parsed p = Parse(
        {"--cli", "--port", "COM3,com4", "--port=/dev/ttyUSB0", "--port", "COM3", "--json", "--report", "runs.csv"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.args.command, CliCommand::kDownload);
    EXPECT_EQ(p.args.ports, (std::vector<std::string>{"COM3", "COM4", "/dev/ttyUSB0", "COM3"}));
    EXPECT_TRUE(p.args.json);
    EXPECT_EQ(p.args.reportFile, "runs.csv");
    p = Parse({"--cli", "--all-ports", "--quiet", "--skip-port", "COM1,/dev/ttyS1", "--skip-port=com2"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_TRUE(p.args.allPorts);
    EXPECT_TRUE(p.args.ports.empty());
    EXPECT_EQ(p.args.skipPorts, (std::vector<std::string>{"COM1", "/dev/ttyS1", "COM2"}));
}

TEST(CliArguments, AStationTakesItsTimesAndALimitAndConfirmGoesWithAnyDownload) {
    Parsed p = Parse({"--cli", "--station", "--all-ports", "--skip-port", "COM1", "--confirm-timeout", "90",
                      "--gone-after=0.5", "--max-handsets", "12", "--report", "r.csv"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.args.command, CliCommand::kDownload);
    EXPECT_TRUE(p.args.station);
    EXPECT_TRUE(p.args.Confirms());
    EXPECT_EQ(p.args.confirmTimeoutSeconds, 90);
    EXPECT_EQ(p.args.goneAfterSeconds, 0.5);
    EXPECT_EQ(p.args.maxHandsets, 12);
    p = Parse({"--cli", "--port", "COM3", "--confirm"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_TRUE(p.args.Confirms());
    EXPECT_FALSE(p.args.station);
    EXPECT_EQ(p.args.confirmTimeoutSeconds, 60);  // the defaults
    EXPECT_EQ(p.args.goneAfterSeconds, 3);
    EXPECT_FALSE(Parse({"--cli", "--port", "COM3"}).args.Confirms());

    const std::vector<std::vector<std::string>> bad = {
        {"--cli", "--station", "--list-ports"},
        {"--cli", "--station", "--port", "COM3", "--info"},
        {"--cli", "--port", "COM3", "--confirm-timeout", "5"},  // no confirmation asked
        {"--cli", "--port", "COM3", "--confirm", "--gone-after", "1"},
        {"--cli", "--port", "COM3", "--max-handsets", "2"},
        {"--cli", "--station", "--port", "COM3", "--max-handsets", "0"},
        {"--cli", "--station", "--port", "COM3", "--gone-after", "0"},
        {"--cli", "--station", "--port", "COM3", "--gone-after", "1e3"},
        {"--cli", "--station", "--port", "COM3", "--confirm-timeout", "3601"},
        {"--cli", "--station", "--port", "COM3", "--confirm-timeout", ".5"},
    };
    for (const auto& args : bad) {
        const Parsed refused = Parse(args);
        EXPECT_FALSE(refused.ok) << args.back();
        EXPECT_FALSE(refused.error.empty()) << args.back();
    }
}

TEST(CliArguments, OtherTasks) {
    EXPECT_EQ(Parse({"--cli", "--list-ports"}).args.command, CliCommand::kListPorts);
    EXPECT_EQ(Parse({"--cli", "--verify"}).args.command, CliCommand::kVerify);
}

TEST(CliArguments, PublishPendingTakesTheBrokerItsCaAndALanguage) {
    const Parsed p = Parse({"--cli", "--publish-pending", "--publish", "mqtts://bench7@broker:9883/factory",
                            "--publish-ca=/etc/vexlor/ca.pem", "--lang", "2"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.args.command, CliCommand::kPublishPending);
    EXPECT_EQ(p.args.publishUrl, "mqtts://bench7@broker:9883/factory");
    EXPECT_EQ(p.args.publishCa, "/etc/vexlor/ca.pem");
    EXPECT_EQ(p.args.language, 2);
    // Without --publish the settings file names the broker.
    EXPECT_FALSE(Parse({"--cli", "--publish-pending"}).args.publishUrl);
    EXPECT_EQ(Parse({"--cli", "--publish-pending", "--records", "/tmp/r.db"}).args.recordsFile, "/tmp/r.db");
    // A download publishes each record as it is stored.
    const Parsed download = Parse({"--cli", "--port", "COM3", "--publish", "mqtt://broker/factory"});
    ASSERT_TRUE(download.ok) << download.error;
    EXPECT_EQ(download.args.publishUrl, "mqtt://broker/factory");

    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"--cli", "--publish-pending", "--publish", "http://broker/x"}, "mqtt://"},
        {{"--cli", "--publish-pending", "--publish", "mqtt://broker"}, "topic prefix"},
        {{"--cli", "--publish-pending", "--publish", "mqtt://u:pw@broker/x"}, "VEXLOR_MQTT_PASSWORD"},
        {{"--cli", "--publish-pending", "--publish", "mqtt://broker/x", "--publish-ca", "ca.pem"}, "mqtts://"},
        {{"--cli", "--publish-pending", "--publish-ca", ""}, "file name"},
        {{"--cli", "--verify", "--publish", "mqtt://broker/x"}, "--publish-pending"},
        {{"--cli", "--publish-pending", "--verify"}, "only one of"},
        {{"--cli", "--port", "COM3", "--no-records", "--publish", "mqtt://broker/x"}, "--no-records"},
        {{"--cli", "--publish-pending", "--no-records"}, "--no-records"},
        {{"--cli", "--port", "COM3", "--info", "--publish", "mqtt://broker/x"}, "a download"},
    };
    for (const auto& [args, why] : bad) {
        const Parsed refused = Parse(args);
        EXPECT_FALSE(refused.ok) << args.back();
        EXPECT_NE(refused.error.find(why), std::string::npos) << refused.error;
    }
}

TEST(CliArguments, BadCommandLinesAreRefusedWithAReason) {
    const std::vector<std::vector<std::string>> bad = {
        {"--port", "COM3"},          // no --cli
        {"--cli"},                   // no task
        {"--cli", "--port"},         // no value
        {"--cli", "--port", "COM"},  // no number
        {"--cli", "--port", "COM0"},
        {"--cli", "--port", "COM1234"},
        {"--cli", "--port", "LPT1"},
        {"--cli", "--port", "ttyUSB0"},                  // a device needs its whole path
        {"--cli", "--port", "COM3,", "--port", "COM4"},  // an empty item
        {"--cli", "--port", "COM3", "--all-ports"},
        {"--cli", "--port", "COM3,COM4", "--info"},  // --info asks one handset
        {"--cli", "--verify", "--json"},
        {"--cli", "--port", "COM3", "--report", ""},
        {"--cli", "--port", "COM3", "--wait", "-1"},
        {"--cli", "--port", "COM3", "--wait", "1.5"},
        {"--cli", "--port", "COM3", "--log-level", "6x"},
        {"--cli", "--port", "COM3", "--log-level", "-2"},
        {"--cli", "--port", "COM3", "--log-level", "6"},     // 5 writes everything already
        {"--cli", "--port", "COM3", "--skip-port", "COM4"},  // --skip-port goes with --all-ports
        {"--cli", "--all-ports", "--skip-port", "ttyS0"},
        {"--cli", "--port", "COM3", "--log-dir", ""},
        {"--cli", "--verify", "--wait", "5"},  // nothing to wait for
        {"--cli", "--list-ports", "--info"},   // --info needs a port
        {"--cli", "--list-ports", "--quiet"},
        {"--cli", "--port", "COM3x"},
        {"--cli", "--port", "COM3", "--lang", "3"},
        {"--cli", "--port", "COM3", "--lang", "-1"},
        {"--cli", "--port", "COM3", "--lang", "0", "--lang", "1"},
        {"--cli", "--port", "COM3", "--verify"},  // two tasks
        {"--cli", "--verify", "--lang", "1"},     // language without a download
        {"--cli", "--list-ports=yes"},
        {"--cli", "--frobnicate"},
    };
    for (const auto& args : bad) {
        const Parsed p = Parse(args);
        EXPECT_FALSE(p.ok) << args.back();
        EXPECT_FALSE(p.error.empty()) << args.back();
    }
}

TEST(CliArguments, ARefusalNamesTheRealConflict) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--cli", "--port", "COM3", "--info", "--confirm"}, "--confirm does not go with --info"},
        {{"--cli", "--port", "COM3", "--info", "--report", "r.csv"}, "--report does not go with --info"},
        {{"--cli", "--station"}, "--station needs the ports it runs on: --cli --station --port PORT"},
        {{"--station"}, "--station needs the ports it runs on"},
        {{"--cli", "--verify", "--json"}, "--json goes with a download (--port or --all-ports) or --info"},
    };
    for (const auto& [args, error] : cases) {
        const Parsed p = Parse(args);
        EXPECT_FALSE(p.ok) << error;
        EXPECT_EQ(p.error.rfind(error, 0), 0u) << p.error;
    }
    // --info --json is a question answered as JSON.
    const Parsed json = Parse({"--cli", "--port", "COM3", "--info", "--json"});
    ASSERT_TRUE(json.ok) << json.error;
    EXPECT_EQ(json.args.command, CliCommand::kInfo);
    EXPECT_TRUE(json.args.json);
}

TEST(CliArguments, ARelativeDevicePathIsTakenFromTheCurrentFolder) {
    const std::filesystem::path here = std::filesystem::current_path();
    const Parsed p = Parse({"--cli", "--port", "./ttyX,../dev/pts/3", "--port", "sub/ttyY"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.args.ports, (std::vector<std::string>{(here / "ttyX").string(),
                                                      (here.parent_path() / "dev/pts/3").lexically_normal().string(),
                                                      (here / "sub/ttyY").string()}));
    const Parsed skip = Parse({"--cli", "--all-ports", "--skip-port", "./ttyZ"});
    ASSERT_TRUE(skip.ok) << skip.error;
    EXPECT_EQ(skip.args.skipPorts, std::vector<std::string>{(here / "ttyZ").string()});
}

TEST(CliArguments, TheReportsMarkIsChosenWithTheReport) {
    EXPECT_FALSE(Parse({"--cli", "--port", "COM3", "--report", "r.csv"}).args.reportBom.has_value());
    EXPECT_EQ(Parse({"--cli", "--port", "COM3", "--report", "r.csv", "--report-bom"}).args.reportBom, true);
    EXPECT_EQ(Parse({"--cli", "--port", "COM3", "--report", "r.csv", "--no-report-bom"}).args.reportBom, false);
    const Parsed both = Parse({"--cli", "--port", "COM3", "--report", "r.csv", "--report-bom", "--no-report-bom"});
    EXPECT_FALSE(both.ok);
    EXPECT_EQ(both.error, "give only one of --report-bom and --no-report-bom");
    const Parsed alone = Parse({"--cli", "--port", "COM3", "--report-bom"});
    EXPECT_FALSE(alone.ok);
    EXPECT_EQ(alone.error, "--report-bom and --no-report-bom go with --report");
}

TEST(CliArguments, WindowsTakesCOMNamesOnlyAndRefusesADevicePath) {
    const Parsed p = Parse({"--cli", "--port", "\\\\.\\COM12,com3"}, true);
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.args.ports, (std::vector<std::string>{"COM12", "COM3"}));
    for (const char* device : {"/dev/ttyUSB0", "./ttyX", "COM3,/dev/ttyS0"}) {
        const Parsed refused = Parse({"--cli", "--port", device}, true);
        EXPECT_FALSE(refused.ok) << device;
        EXPECT_NE(refused.error.find("is not a COM port name; expected COMn or \\\\.\\COMn"), std::string::npos)
            << refused.error;
    }
    EXPECT_FALSE(Parse({"--cli", "--all-ports", "--skip-port", "/dev/ttyUSB0"}, true).ok);
    EXPECT_TRUE(Parse({"--cli", "--port", "/dev/ttyUSB0"}).ok);  // a device path is a port on Linux
}

TEST(CliArguments, WindowsUsageSpeaksOfTheRegistryCOMNamesCtrlCAndTheMutex) {
    const std::string usage = CliUsage(true);
    for (const char* term :
         {"Usage: vexlor.exe", "HKLM\\SOFTWARE\\Vexlor", "COMn or \\\\.\\COMn", "Ctrl+C or closing the window",
          "closing the console window", "mutex (Global\\vexlor-port-COMn)", "--help, /?"}) {
        EXPECT_NE(usage.find(term), std::string::npos) << term;
    }
    for (const char* posix : {"SIGHUP", "SIGINT", "/dev/tty", "~/.config", "$VEXLOR_REGISTRY", "lock file", "./ttyX"}) {
        EXPECT_EQ(usage.find(posix), std::string::npos) << posix;
    }
    EXPECT_NE(usage.find("--max-handsets"), std::string::npos);  // the rest as on Linux
}

TEST(CliArguments, UsageNamesEveryOption) {
    const std::string usage = CliUsage(false);
    for (const char* option : {"--cli",
                               "--port",
                               "--lang",
                               "--list-ports",
                               "--verify",
                               "--help",
                               "--version",
                               "--info",
                               "--wait",
                               "--quiet",
                               "--log-level",
                               "--log-dir",
                               "130",
                               "SIGHUP",
                               "--all-ports",
                               "--json",
                               "--report",
                               "--skip-port",
                               "--station",
                               "--confirm",
                               "--confirm-timeout",
                               "--gone-after",
                               "--max-handsets",
                               "remove the handset",
                               "sequence,",
                               "--report-bom",
                               "--no-report-bom",
                               "--records",
                               "--no-records",
                               "--history",
                               "--since",
                               "--records-verify",
                               "--records-export",
                               "  10   ",
                               "--publish",
                               "--publish-ca",
                               "--publish-pending",
                               "VEXLOR_MQTT_PASSWORD",
                               "  11 "}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}

TEST(CliArguments, RecordTasksTakeTheirHandsetTimeAndStore) {
    Parsed p = Parse({"--cli", "--history", "0x8f2a10c4", "--since", "2026-12-01", "--json", "--records", "r.db"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.args.command, CliCommand::kHistory);
    EXPECT_EQ(p.args.historyEsn, "8F2A10C4");
    EXPECT_EQ(p.args.since, "2026-12-01T00:00:00");
    EXPECT_EQ(p.args.recordsFile, "r.db");
    p = Parse({"--cli", "--history", "--since=2026-12-01T08:30"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.args.historyEsn, "");
    EXPECT_EQ(p.args.since, "2026-12-01T08:30:00");
    p = Parse({"--cli", "--history", "14300000001"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.args.historyEsn, "14300000001");
    p = Parse({"--cli", "--records-export", "week.csv"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.args.command, CliCommand::kRecordsExport);
    EXPECT_EQ(p.args.exportFile, "week.csv");
    p = Parse({"--cli", "--port", "COM3", "--no-records"});
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_TRUE(p.args.noRecords);
    EXPECT_TRUE(Parse({"--cli", "--records-verify"}).ok);

    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"--cli", "--history", "8F2A10C"}, "--history takes an ESN"},
        {{"--cli", "--history", "--since", "2026-13-01"}, "--since takes a UTC date"},
        {{"--cli", "--history", "--since", "01.12.2026"}, "--since takes a UTC date"},
        {{"--cli", "--port", "COM3", "--since", "2026-12-01"}, "--since goes with --history"},
        {{"--cli", "--port", "COM3", "--records", "r.db", "--no-records"}, "give only one of --records and"},
        {{"--cli", "--records-verify", "--no-records"}, "--no-records does not go with"},
        {{"--cli", "--list-ports", "--records", "r.db"}, "--records and --no-records go with"},
        {{"--cli", "--records-verify", "--history"}, "give only one of"},
        {{"--cli", "--records-verify", "--json"}, "--json goes with"},
    };
    for (const auto& [args, error] : refused) {
        const Parsed r = Parse(args);
        EXPECT_FALSE(r.ok) << error;
        EXPECT_EQ(r.error.rfind(error, 0), 0u) << r.error;
    }
}

}  // namespace
