// SPDX-License-Identifier: Apache-2.0
// The simulator binary over a real pseudo-terminal: start-up line, the line as the tool sees it
// (reopening, rates, silence, pacing, a dropped line), the settings file and the image file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "sim_test_bytes.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "sim_proc_" + std::to_string(getpid()) + "_" + name;
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One simulator process with its standard output and error on pipes.
class Sim {
public:
    explicit Sim(const std::vector<std::string>& options) {
        std::vector<std::string> args = {VEXLOR_SIM_PATH};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        int err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        const int spawned = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        m_out = out[0];
        m_err = err[0];
        if (spawned != 0) m_pid = -1;
    }

    ~Sim() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        close(m_out);
        close(m_err);
    }

    // The first line on standard output (empty when none within 10 s).
    std::string FirstLine() {
        std::string text;
        while (text.find('\n') == std::string::npos) {
            pollfd fd = {m_out, POLLIN, 0};
            char chunk[256];
            if (poll(&fd, 1, 10000) <= 0) return {};
            const ssize_t n = read(m_out, chunk, sizeof chunk);
            if (n <= 0) return {};
            text.append(chunk, static_cast<size_t>(n));
        }
        return text.substr(0, text.find('\n'));
    }

    std::string ErrorText() {
        std::string text;
        char chunk[256];
        ssize_t n = 0;
        while ((n = read(m_err, chunk, sizeof chunk)) > 0) text.append(chunk, static_cast<size_t>(n));
        return text;
    }

    // Waits up to limitMs for the process to end; its exit status, or -1.
    int WaitExit(int limitMs) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
        while (Clock::now() < deadline) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            usleep(5000);
        }
        return -1;
    }

    int Stop(int signal = SIGTERM) {
        kill(m_pid, signal);
        return WaitExit(5000);
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
};

// The tool's side of the line: the terminal opened raw at a rate, as the serial port does.
class Port {
public:
    Port(const std::string& path, speed_t rate) {
        m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios settings{};
        if (m_fd < 0 || tcgetattr(m_fd, &settings) != 0) return;
        cfmakeraw(&settings);
        cfsetspeed(&settings, rate);
        tcsetattr(m_fd, TCSANOW, &settings);
        tcflush(m_fd, TCIOFLUSH);
    }
    ~Port() {
        if (m_fd >= 0) close(m_fd);
    }
    bool Ok() const { return m_fd >= 0; }

    void Send(const Bytes& bytes) { ASSERT_EQ(write(m_fd, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

    // Waits until an answer has arrived, without reading it; false after limitMs.
    bool AnswerArrived(int limitMs) {
        pollfd fd = {m_fd, POLLIN, 0};
        return poll(&fd, 1, limitMs) > 0;
    }

    // Reads until want bytes came or limitMs passed.
    Bytes Receive(size_t want, int limitMs) {
        Bytes got;
        const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
        while (got.size() < want) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) break;
            pollfd fd = {m_fd, POLLIN, 0};
            if (poll(&fd, 1, static_cast<int>(left)) <= 0) break;
            uint8_t chunk[4096];
            const ssize_t n = read(m_fd, chunk, sizeof chunk);
            if (n <= 0) break;
            got.insert(got.end(), chunk, chunk + n);
        }
        return got;
    }

    // What a read gives once the simulator has gone: end-of-file or EIO, within limitMs.
    bool SeesLineDrop(int limitMs) {
        pollfd fd = {m_fd, POLLIN, 0};
        if (poll(&fd, 1, limitMs) <= 0) return false;
        uint8_t byte;
        const ssize_t n = read(m_fd, &byte, 1);
        return n == 0 || (n < 0 && errno == EIO);
    }

private:
    int m_fd = -1;
};

const Bytes kDiagPattern1 = Hex("14 61 74 0D 1C D5 7D 5E");
const size_t kDiagReplySize = 20;  // both frames of the detection packet answered
const Bytes kOk = DlFrame(Hex("70 00 00"));

TEST(SimProcess, PrintsTheTerminalFirstAnswersTheDetectionPacketAndStopsOnSigterm) {
    Sim sim({"--mode", "diag"});
    const std::string path = sim.FirstLine();
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    Port port(path, B115200);
    ASSERT_TRUE(port.Ok());
    port.Send(DetectionPacket());
    const Bytes reply = port.Receive(kDiagReplySize, 3000);
    ASSERT_EQ(reply.size(), kDiagReplySize) << ToHex(reply);
    EXPECT_TRUE(std::equal(kDiagPattern1.begin(), kDiagPattern1.end(), reply.begin())) << ToHex(reply);
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

TEST(SimProcess, AnswersOnlyAtTheChosenRate) {
    Sim sim({"--mode", "dl", "--only-baud", "460800"});
    const std::string path = sim.FirstLine();
    {
        Port wrong(path, B115200);
        wrong.Send(DetectionPacket());
        EXPECT_TRUE(wrong.Receive(1, 300).empty());
    }
    Port right(path, B460800);
    right.Send(DetectionPacket());
    EXPECT_EQ(ToHex(right.Receive(5, 3000)), "7E 02 6A D3 7E");
}

TEST(SimProcess, KeepsAnsweringWhileThePortIsClosedAndReopenedManyTimes) {
    Sim sim({"--mode", "dl"});
    const std::string path = sim.FirstLine();
    for (int i = 0; i < 50; ++i) {
        Port port(path, i % 2 ? B230400 : B115200);
        ASSERT_TRUE(port.Ok()) << "opening " << i;
    }
    {
        // An answer left unread when the port closes is purged by the next opening.
        Port port(path, B115200);
        port.Send(DetectionPacket());
        ASSERT_TRUE(port.AnswerArrived(3000));
    }
    Port port(path, B115200);
    port.Send(DetectionPacket());
    EXPECT_EQ(ToHex(port.Receive(10, 1000)), "7E 02 6A D3 7E");
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(SimProcess, SilentNeverAnswers) {
    Sim sim({"--mode", "ds", "--silent"});
    Port port(sim.FirstLine(), B115200);
    port.Send(DetectionPacket());
    EXPECT_TRUE(port.Receive(1, 300).empty());
}

TEST(SimProcess, ThrottleHoldsAnswersForTheirLineTime) {
    Sim sim({"--mode", "ds", "--throttle", "9600"});
    Port port(sim.FirstLine(), B115200);  // the handset's own pace, whatever the tool set
    const auto start = Clock::now();
    port.Send(DetectionPacket());
    const Bytes reply = port.Receive(16, 3000);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    EXPECT_EQ(reply.size(), 16u);
    // 10 bytes in and 16 out at 960 bytes a second: at least 27 ms on the line.
    EXPECT_GE(elapsed.count(), 26);
}

TEST(SimProcess, RegistersItsTerminalAndRemovesTheEntryAtExit) {
    const std::string file = TempPath("settings.reg");
    unlink(file.c_str());
    Sim sim({"--register", file, "--com", "COM7"});
    const std::string path = sim.FirstLine();
    ASSERT_FALSE(path.empty());
    // In place as soon as the path is printed.
    EXPECT_EQ(platform::Registry::LoadFile(file).ReadString("HARDWARE\\DEVICEMAP\\SERIALCOMM", path), "COM7");
    EXPECT_EQ(sim.Stop(SIGINT), 0);
    EXPECT_FALSE(platform::Registry::LoadFile(file).ReadString("HARDWARE\\DEVICEMAP\\SERIALCOMM", path));
    unlink(file.c_str());
    unlink((file + ".lock").c_str());
}

TEST(SimProcess, SavesTheImageAtTheNandWriteAndEndsAfterTheReset) {
    const std::string image = TempPath("image.bin");
    unlink(image.c_str());
    Sim sim({"--mode", "dl", "--image-out", image, "--exit-after-reset"});
    Port port(sim.FirstLine(), B115200);
    const Bytes load = MakeLoad(512);
    port.Send(DlFrame(Hex("70 00")));
    EXPECT_EQ(ToHex(port.Receive(7, 2000)), ToHex(kOk));
    port.Send(DlFrame(WritePacket(0, load)));
    EXPECT_EQ(ToHex(port.Receive(7, 2000)), ToHex(kOk));
    port.Send(DlFrame(Hex("70 04")));
    EXPECT_EQ(ToHex(port.Receive(7, 2000)), ToHex(kOk));
    EXPECT_TRUE(ReadFile(image) == load);
    port.Send(DlFrame(Hex("0A")));
    EXPECT_EQ(ToHex(port.Receive(5, 2000)), "7E 02 6A D3 7E");
    EXPECT_EQ(sim.WaitExit(3000), 0);
    unlink(image.c_str());
}

TEST(SimProcess, DisconnectAfterDropsTheLineAndSavesWhatCame) {
    const std::string image = TempPath("cut.bin");
    unlink(image.c_str());
    Sim sim({"--mode", "dl", "--disconnect-after", "1024", "--image-out", image});
    Port port(sim.FirstLine(), B115200);
    const Bytes load = MakeLoad(0x600);
    port.Send(DlFrame(WritePacket(0, {load.data(), 512})));
    EXPECT_EQ(ToHex(port.Receive(7, 2000)), ToHex(kOk));
    port.Send(DlFrame(WritePacket(0x200, {load.data() + 0x200, 512})));
    EXPECT_TRUE(port.SeesLineDrop(3000));
    EXPECT_EQ(sim.WaitExit(3000), 0);
    EXPECT_TRUE(ReadFile(image) == Bytes(load.begin(), load.begin() + 0x400));
    unlink(image.c_str());
}

TEST(SimProcess, ABadCommandLineIsRefusedBeforeAnyTerminalExists) {
    Sim sim({"--mode", "turbo"});
    EXPECT_EQ(sim.FirstLine(), "");
    EXPECT_EQ(sim.WaitExit(3000), 2);
    EXPECT_NE(sim.ErrorText().find("--mode needs ds, diag or dl"), std::string::npos);
}

}  // namespace
