// SPDX-License-Identifier: Apache-2.0
// The real vexlor --cli against ports as technicians meet them: ports that cannot be opened
// (no permission, held by another program, not a terminal, a device that never came), a port
// that appears only after the command, device paths, --info, and the settings file.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "cli_rig.h"
#include "engine/dl_status.h"
#include "platform/file_holder.h"

namespace {

using Statuses = std::vector<uint32_t>;

// Adds device -> port to the rig's port map, after what the simulator registered.
void MapPort(const DownloadRig& rig, const std::string& device, const std::string& port) {
    std::ofstream(rig.SettingsPath(), std::ios::app)
        << "\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n\"" << device << "\"=\"" << port << "\"\n";
}

// Starts flock holding device for a while, and waits until it does.
bool HoldPort(ChildProcess& holder, const std::string& device) {
    // -o: the lock stays with flock itself, so it goes when flock goes.
    if (!holder.Start("/usr/bin/flock", {"-o", device, "sleep", "30"})) return false;
    for (int look = 0; look < 500; ++look) {
        const auto found = platform::FindLockHolder(device);
        if (found && found->pid == holder.Pid()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// The line printed under the failure status.
std::string LineUnder(const std::string& output, const std::string& statusPrefix) {
    const size_t at = output.find(statusPrefix);
    if (at == std::string::npos) return {};
    const size_t start = output.find('\n', at) + 1;
    return output.substr(start, output.find('\n', start) - start);
}

struct PortErrorCase {
    const char* name;
    std::vector<std::string> expected;  // in the line under the status, in order
};

void PrintTo(const PortErrorCase& c, std::ostream* os) { *os << c.name; }

class CliPortErrorTest : public CliDownloadTest, public ::testing::WithParamInterface<PortErrorCase> {};

// Every port error ends the run with the port status and says why in the line under it; one
// that retrying cannot change ends it before any look for a handset.
TEST_P(CliPortErrorTest, EndsWithThePortStatusAndTheReasonUnderIt) {
    const PortErrorCase& c = GetParam();
    Prepare(0x200, {});
    const std::string name = c.name;
    std::vector<std::string> args = {"--cli", "--port", "COM5"};
    ChildProcess holder;
    std::string device;
    if (name == "NotATerminal") {
        device = rig.Folder().File("plain-file");
        std::ofstream(device) << "not a serial port";
    } else if (name == "Directory") {
        device = rig.Folder().Path();
    } else if (name == "NeverThere") {
        device = rig.Folder().File("ttyUSB-gone");
    } else if (name == "HeldByAnotherProgram") {
        device = rig.TerminalPath();
        ASSERT_TRUE(HoldPort(holder, device));
    }
    MapPort(rig, device, "COM5");
    EXPECT_EQ(Run(args), 1) << Errors();
    EXPECT_EQ(PrintedStatuses(), (Statuses{STATUS_STARTED, STATUS_ERR_PORT})) << Output();
    const std::string why = LineUnder(Output(), "[0xF01]");
    EXPECT_NE(why.find("COM5 (" + device + ")"), std::string::npos) << why;
    size_t at = 0;
    for (std::string expected : c.expected) {
        if (expected == "<holder>") expected = "flock (PID " + std::to_string(holder.Pid()) + ")";
        at = why.find(expected, at);
        EXPECT_NE(at, std::string::npos) << expected << " in: " << why;
    }
    const int looks = CountInLog("Can not determine phone mode, so wait a moment.");
    if (name == "NeverThere" || name == "HeldByAnotherProgram") {
        // A device may still come (a USB handset re-enumerates), a holder may let go (a modem
        // manager probing a new port): every try is made.
        EXPECT_EQ(looks, 30);
        if (name == "HeldByAnotherProgram") {
            // Told at once, long before the tries run out.
            EXPECT_LT(Output().find("; waiting for it to let go"), Output().find("[0xF01]")) << Output();
        }
    } else {
        EXPECT_LE(looks, 1);
        EXPECT_EQ(CountInLog("The port cannot be used; no handset can be looked for."), 1);
    }
    if (holder.Pid() > 0) holder.Signal(SIGTERM);
}

INSTANTIATE_TEST_SUITE_P(
    Ports, CliPortErrorTest,
    ::testing::Values(PortErrorCase{"NotATerminal", {"is not a serial port: ", "Inappropriate ioctl for device"}},
                      PortErrorCase{"Directory", {"is not a serial port: ", "Is a directory"}},
                      PortErrorCase{"NeverThere", {"was not there"}},
                      PortErrorCase{"HeldByAnotherProgram", {"is in use by another program: ", "<holder>"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A port held for a moment (a modem manager probing a fresh adapter) is waited for: the holder
// is named at once, and the run goes on once it lets go.
TEST_F(CliDownloadTest, APortHeldForAMomentIsWaitedForAndTheHolderNamedAtOnce) {
    Prepare(0x200, {});
    ChildProcess holder;
    ASSERT_TRUE(HoldPort(holder, rig.TerminalPath()));
    Launch();
    const std::string waiting = std::string(DownloadRig::kPort) + " is in use by flock (PID " +
                                std::to_string(holder.Pid()) + "); waiting for it to let go";
    ASSERT_TRUE(vexlor.WaitForOutput(waiting, 20000)) << Output();
    holder.Signal(SIGTERM);
    holder.Wait(5000);
    EXPECT_EQ(Finish(), 0) << Output();
    EXPECT_EQ(PrintedStatuses(), (Statuses{STATUS_STARTED, STATUS_DIAG_READY, STATUS_DONE}));
    EXPECT_EQ(CountInLog("is in use; waiting for it to let go."), 1);
}

TEST_F(CliDownloadTest, NoPermissionIsToldWithTheSystemsWordsAndTheDialoutHint) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to run the tool as an unprivileged user";
    Prepare(0x200, {});
    // Everything the tool reads is open to all; the port is not. The language libraries are
    // copied beside the program: the build folder may lie in a clone other users cannot enter.
    namespace fs = std::filesystem;
    for (const char* library : {"VexlorEngRes.so", "VexlorChsRes.so"}) {
        const fs::path beside = rig.Folder().File(library);
        const fs::path built = fs::read_symlink(beside);
        fs::remove(beside);
        fs::copy_file(built, beside);
        fs::permissions(beside, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    }
    fs::permissions(rig.Folder().Path(), fs::perms::all);
    fs::create_directories(rig.Folder().File("run"));
    fs::permissions(rig.Folder().File("run"), fs::perms::all);
    fs::permissions(rig.SettingsPath(), fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    ASSERT_EQ(chmod(rig.TerminalPath().c_str(), 0600), 0);
    ASSERT_TRUE(vexlor.Start("/usr/bin/setpriv",
                             {"--reuid=nobody", "--regid=nogroup", "--clear-groups", rig.PackedPath(), "--cli",
                              "--port", DownloadRig::kPort},
                             rig.ChildEnvironment("0.05"), rig.Folder().File("vexlor.err")));
    EXPECT_EQ(Finish(), 1) << Errors();
    EXPECT_EQ(PrintedStatuses(), (Statuses{STATUS_STARTED, STATUS_ERR_PORT})) << Output();
    const std::string why = LineUnder(Output(), "[0xF01]");
    EXPECT_NE(why.find("COM9 (" + rig.TerminalPath() + ") cannot be opened: Permission denied"), std::string::npos)
        << why;
    EXPECT_NE(why.find("sudo adduser $USER dialout"), std::string::npos) << why;
}

TEST_F(CliDownloadTest, PortThatAppearsWithinTheWaitIsFlashedThroughItsDevicePath) {
    Prepare(0x200, {});
    const std::string settings = ReadWholeFile(rig.SettingsPath());
    std::ofstream(rig.SettingsPath(), std::ios::trunc)
        << "Windows Registry Editor Version 5.00\n";  // not yet plugged in
    Launch({"--cli", "--port", rig.TerminalPath(), "--wait", "20"});
    // Plugged in only once the program is waiting for it.
    ASSERT_TRUE(vexlor.WaitForOutput("Waiting up to 20 s for " + rig.TerminalPath() + " to appear...", 20000))
        << Output();
    std::ofstream(rig.SettingsPath(), std::ios::trunc) << settings;
    EXPECT_EQ(Finish(), 0) << Errors();
    EXPECT_EQ(PrintedStatuses(), (Statuses{STATUS_STARTED, STATUS_DIAG_READY, STATUS_DONE}));
    ExpectImageIsLoad();
}

TEST_F(CliDownloadTest, ARelativeDevicePathIsTakenFromTheCurrentFolder) {
    Prepare(0x200, {});
    const std::string relative = std::filesystem::relative(rig.TerminalPath()).string();
    ASSERT_NE(relative.front(), '/') << relative;
    EXPECT_EQ(Run({"--cli", "--port", relative}), 0) << Errors();
    EXPECT_EQ(PrintedStatuses(), (Statuses{STATUS_STARTED, STATUS_DIAG_READY, STATUS_DONE}));
    ExpectImageIsLoad();
}

TEST_F(CliDownloadTest, PortThatNeverAppearsEndsTheWaitWithItsOwnStatus) {
    Prepare(0x200, {});
    EXPECT_EQ(Run({"--cli", "--port", "COM77", "--wait", "1"}), 8);
    EXPECT_NE(Output().find("Waiting up to 1 s for COM77 to appear..."), std::string::npos) << Output();
    EXPECT_NE(Errors().find("vexlor: COM77 did not appear within 1 s."), std::string::npos) << Errors();
}

TEST_F(CliDownloadTest, InfoTellsModeVersionAndPlatformAndLeavesTheHandsetInDiag) {
    Prepare(0x200, {"--mode", "ds", "--platform", "CORVANE1", "--version-numbers", "1,3", "--esn", "8F2A10C4"});
    EXPECT_EQ(Run({"--cli", "--port", DownloadRig::kPort, "--info"}), 0) << Errors();
    EXPECT_EQ(Output(),
              "Port:             COM9\n"
              "Mode:             AT data mode, switched to diagnostic mode\n"
              "Software version: 13\n"
              "Platform:         CORVANE1\n"
              "ESN:              8F2A10C4 (14302756804)\n"
              "Firmware load:    VX12.01 (for version 12: a version mismatch)\n");
    // The same facts as JSON.
    EXPECT_EQ(Run({"--cli", "--port", DownloadRig::kPort, "--info", "--json"}), 0) << Errors();
    EXPECT_NE(Output().find("\"reached\":true,\"found_mode\":\"diag\",\"mode\":\"diag\",\"software_version\":"
                            "\"13\",\"platform\":\"CORVANE1\",\"esn\":\"8F2A10C4\",\"esn_dec\":\"14302756804\","
                            "\"load_version\":\"VX12.01\",\"load\":\"mismatch\"}"),
              std::string::npos)
        << Output();
    EXPECT_EQ(CountInLog("Start writing block"), 0);
}

TEST_F(CliDownloadTest, InfoOnADamagedLoadSaysSoAndEndsAsADownloadWouldInTextAndJson) {
    Prepare(0x30000, {});
    {
        std::fstream packed(rig.PackedPath(), std::ios::in | std::ios::out | std::ios::binary);
        packed.seekp(-600 - 0x10000, std::ios::end);
        packed.put('\x55');
    }
    EXPECT_EQ(Run({"--cli", "--port", DownloadRig::kPort, "--info"}), 7) << Errors();
    EXPECT_NE(Output().find("Software version: 12\n"), std::string::npos) << Output();
    EXPECT_NE(Output().find("Firmware load:    damaged"), std::string::npos) << Output();
    EXPECT_EQ(Output().find("fits"), std::string::npos) << Output();
    EXPECT_NE(Errors().find("The firmware data of this tool is damaged"), std::string::npos) << Errors();
    EXPECT_NE(Errors().find("copy it again"), std::string::npos) << Errors();

    EXPECT_EQ(Run({"--cli", "--port", DownloadRig::kPort, "--info", "--json"}), 7) << Errors();
    EXPECT_EQ(Output().rfind("{\"time\":\"", 0), 0u) << Output();
    EXPECT_NE(Output().find("\"event\":\"info\",\"port\":\"COM9\",\"device\":\"" + rig.TerminalPath() +
                            "\",\"reached\":true,\"found_mode\":\"diag\",\"mode\":\"diag\","
                            "\"software_version\":\"12\",\"platform\":"),
              std::string::npos)
        << Output();
    EXPECT_NE(Output().find(",\"load_version\":null,\"load\":\"damaged\"}\n"), std::string::npos) << Output();
    EXPECT_EQ(CountInLog("Start writing block"), 0);
}

TEST_F(CliDownloadTest, InfoOnAHandsetInDownloadModeSaysWhatToDo) {
    Prepare(0x200, {"--mode", "dl"});
    EXPECT_EQ(Run({"--cli", "--port", DownloadRig::kPort, "--info"}), 0) << Errors();
    EXPECT_NE(Output().find("Mode:             download mode\n"), std::string::npos) << Output();
    EXPECT_NE(Output().find("switch the handset off and on"), std::string::npos) << Output();
}

TEST_F(CliDownloadTest, UnreadableSettingsFileIsToldNotIgnored) {
    Prepare(0x200, {});
    std::filesystem::remove(rig.SettingsPath());
    std::filesystem::create_directory(rig.SettingsPath());  // a folder in the file's place
    EXPECT_EQ(Run(), 5);
    EXPECT_NE(Errors().find("vexlor: cannot read the settings file " + rig.SettingsPath() + ": Is a directory"),
              std::string::npos)
        << Errors();
    EXPECT_EQ(Output(), "");
}

TEST_F(CliDownloadTest, ListPortsTellsMissingDevicesAnotherVexlorsRunAndBadSettings) {
    Prepare(0x200, {});
    MapPort(rig, rig.Folder().File("ttyUSB-unplugged"), "COM31");
    std::ofstream(rig.SettingsPath(), std::ios::app) << "\"/dev/ttyUSB9\"=\"COM9\"\n\"/dev/ttyUSB7\"=\"COM7\n";
    // Another run on COM9, in the pause after the handset's reset: its port is closed by then,
    // but the run goes on (its guard shows it in use for all of it).
    Launch({"--cli", "--port", DownloadRig::kPort}, "0.5");
    ASSERT_TRUE(vexlor.WaitForOutput("Downloading: 100% done", 60000)) << Output();
    ChildProcess list;
    ASSERT_TRUE(list.Start(rig.PackedPath(), {"--cli", "--list-ports"}, rig.ChildEnvironment("0.05"),
                           rig.Folder().File("list.err")));
    ASSERT_EQ(list.Wait(20000), 0);
    EXPECT_NE(list.Output().find("COM9\t" + rig.TerminalPath() + "\t-\t-\t-\tin use by vexlor-packed (PID " +
                                 std::to_string(vexlor.Pid()) + ")\n"),
              std::string::npos)
        << list.Output();
    EXPECT_NE(list.Output().find("COM31\t" + rig.Folder().File("ttyUSB-unplugged") + "\t-\t-\t-\tmissing\n"),
              std::string::npos)
        << list.Output();
    // COM9 is the first device it is given to, as the warning says: listed once.
    EXPECT_EQ(CountOccurrences(list.Output(), "COM9\t"), 1) << list.Output();
    EXPECT_EQ(list.Output().find("/dev/ttyUSB9"), std::string::npos) << list.Output();
    EXPECT_EQ(Finish(), 0);
    // Each line the settings reader leaves is told with its number (the last two here).
    const std::string errors = ReadWholeFile(rig.Folder().File("list.err"));
    EXPECT_NE(errors.find(": COM9 is given to /dev/ttyUSB9 as well as to " + rig.TerminalPath()), std::string::npos)
        << errors;
    EXPECT_NE(errors.find(" is not read: \"/dev/ttyUSB7\"=\"COM7 ("), std::string::npos) << errors;
    // A settings file that cannot be read ends the listing as it ends a download.
    std::filesystem::remove(rig.SettingsPath());
    std::filesystem::create_directory(rig.SettingsPath());
    ChildProcess refused;
    ASSERT_TRUE(refused.Start(rig.PackedPath(), {"--cli", "--list-ports"}, rig.ChildEnvironment("0.05")));
    EXPECT_EQ(refused.Wait(20000), 5);
}

}  // namespace
