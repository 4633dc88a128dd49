// SPDX-License-Identifier: Apache-2.0
// One port, one run, on the whole machine: runs from other sessions (their own runtime folders)
// and other users find a running port held for the whole run, and a port held by another run is
// refused by name before anything touches the line.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "cli_rig.h"
#include "platform/named_mutex.h"
#include "platform/port_lock.h"
#include "run_holder.h"

namespace {

constexpr uid_t kNobody = 65534;

// A second session: its own runtime and log folders, open to every user.
struct OtherSession {
    explicit OtherSession(const std::string& root) : run(root + "/run"), log(root + "/log"), data(root + "/data") {
        for (const std::string& folder : {root, run, log, data}) {
            std::filesystem::create_directories(folder);
            ::chmod(folder.c_str(), 0777);
        }
    }
    std::string run, log;
    std::string data;  // another user keeps records in a store of their own
};

TEST_F(CliDownloadTest, PortHeldByAnotherRunIsRefusedNamingTheHolder) {
    Prepare(0x200, {});
    setenv("XDG_RUNTIME_DIR", rig.Folder().File("run").c_str(), 1);
    // The window's single-instance rule does not hold the headless tool back...
    platform::NamedMutex window;
    ASSERT_EQ(window.Create("Vexlor"), platform::NamedMutex::Result::Created);
    // ...but another run on its port does, whatever session it runs in, and is named.
    RunHolder holder;
    ASSERT_TRUE(holder.Hold(rig.TerminalPath()));
    EXPECT_EQ(Run(), 3);
    EXPECT_EQ(Output(), "");
    EXPECT_NE(Errors().find("COM9 is in use by another vexlor (flock, PID " + std::to_string(holder.Pid()) + ")."),
              std::string::npos)
        << Errors();
    EXPECT_EQ(CountInLog("Start listener."), 0);
}

TEST_F(CliDownloadTest, StaleLockFileOfAnEndedRunIsTakenOverAndRemovedAtTheEnd) {
    Prepare(0x200, {});
    const std::string lockFile = platform::PortLock::LockName(rig.TerminalPath(), "");
    // A PID that ran and ended: the child's own, once reaped.
    ChildProcess ended;
    ASSERT_TRUE(ended.Start("/bin/true", {}));
    ASSERT_EQ(ended.Wait(5000), 0);
    std::FILE* file = std::fopen(lockFile.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fprintf(file, "%10d\n", ended.Pid());
    std::fclose(file);
    EXPECT_EQ(Run(), 0) << Errors();
    EXPECT_FALSE(std::filesystem::exists(lockFile));
    ExpectImageIsLoad();
}

class CliTwoSessionsTest : public CliDownloadTest, public ::testing::WithParamInterface<bool> {};

// The second run starts while the first writes the load (a line slow enough to be sure of it),
// from another runtime folder, and for the second case as another user: it is refused at once,
// names the first, never opens the port, and the first ends done with an exact image.
TEST_P(CliTwoSessionsTest, SecondRunNeverTouchesThePortWhileTheFirstRuns) {
    const bool otherUser = GetParam();
    if (otherUser && ::geteuid() != 0) GTEST_SKIP() << "needs root to run the second as another user";
    Prepare(0x40200, {"--throttle", "460800"});
    // Both runs, and this look, at the machine's own lock folder.
    unsetenv("VEXLOR_LOCK_DIR");
    const auto atMachineLocks = [](std::vector<std::string> environment) {
        std::erase_if(environment, [](const std::string& entry) { return entry.rfind("VEXLOR_LOCK_DIR=", 0) == 0; });
        return environment;
    };
    const std::string lockFile = platform::PortLock::LockName(rig.TerminalPath(), "");
    OtherSession session(rig.Folder().File("other"));
    if (otherUser) {
        // The other user reaches the program, its libraries and the settings, and nothing else.
        ::chmod(rig.Folder().Path().c_str(), 0755);
        ChildProcess probe;
        ASSERT_TRUE(probe.Start("/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                                                     "/usr/bin/test", "-r", rig.Folder().File("VexlorEngRes.so")}));
        if (probe.Wait(5000) != 0) GTEST_SKIP() << "the build folder is closed to other users";
    }
    // At the tool's own timing: a scaled block time-out is shorter than the line takes.
    ASSERT_TRUE(vexlor.Start(rig.PackedPath(), {"--cli", "--port", DownloadRig::kPort},
                             atMachineLocks(rig.ChildEnvironment("1")), rig.Folder().File("vexlor.err")));
    ASSERT_TRUE(vexlor.WaitForOutput("Downloading: 0% done", 60000)) << Output() << Errors();
    EXPECT_TRUE(std::filesystem::exists(lockFile));

    std::vector<std::string> environment = atMachineLocks(rig.ChildEnvironment(DownloadRig::ChildTimeScale()));
    std::erase_if(environment, [](const std::string& entry) {
        return entry.rfind("XDG_RUNTIME_DIR=", 0) == 0 || entry.rfind("XDG_DATA_HOME=", 0) == 0;
    });
    environment.push_back("XDG_RUNTIME_DIR=" + session.run);
    environment.push_back("XDG_DATA_HOME=" + session.data);
    const std::vector<std::string> args = {"--cli", "--port", DownloadRig::kPort, "--log-dir", session.log};
    std::vector<std::string> command = {"--reuid=" + std::to_string(kNobody), "--regid=" + std::to_string(kNobody),
                                        "--clear-groups", rig.PackedPath()};
    command.insert(command.end(), args.begin(), args.end());
    ChildProcess second;
    const std::string errors = session.log + "/second.err";
    ASSERT_TRUE(otherUser ? second.Start("/usr/bin/setpriv", command, environment, errors)
                          : second.Start(rig.PackedPath(), args, environment, errors));
    EXPECT_EQ(second.Wait(30000), 3);
    // Still the first's run: the refusal came while it held the port.
    EXPECT_EQ(Output().find("[0x065]"), std::string::npos) << Output();
    // The holder as the system names it: the packed program's name, cut as the kernel cuts it.
    const std::string program = std::filesystem::path(rig.PackedPath()).filename().string().substr(0, 15);
    EXPECT_NE(ReadWholeFile(errors).find("COM9 is in use by another vexlor (" + program + ", PID " +
                                         std::to_string(vexlor.Pid()) + ")."),
              std::string::npos)
        << ReadWholeFile(errors);
    EXPECT_EQ(CountOccurrences(ReadLogFolder(session.log), "Start listener."), 0);

    EXPECT_EQ(Finish(), 0) << Output() << Errors();
    EXPECT_FALSE(std::filesystem::exists(lockFile));
    ExpectImageIsLoad();
}

INSTANTIATE_TEST_SUITE_P(Sessions, CliTwoSessionsTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "AnotherUser" : "AnotherRuntimeFolder"; });

}  // namespace
