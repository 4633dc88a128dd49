// SPDX-License-Identifier: Apache-2.0
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include "platform/posix/posix_serial_line.h"
#include "pty_pair.h"

namespace {

using Clock = std::chrono::steady_clock;
using SerialPort = platform::PosixSerialLine;
using CloseMode = platform::SerialLine::CloseMode;
using Problem = platform::SerialLine::Problem;
using Step = platform::SerialLine::OpenStep;

int ElapsedMs(Clock::time_point start) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Looks at condition every millisecond until it holds; false after limitMs.
bool WaitUntil(const std::function<bool()>& condition, int limitMs = 5000) {
    const auto start = Clock::now();
    while (!condition()) {
        if (ElapsedMs(start) >= limitMs) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// True while thread (a thread of this process) is blocked in poll, as a read waiting for data is.
bool WaitsInPoll(pid_t thread) {
    std::ifstream file("/proc/self/task/" + std::to_string(thread) + "/syscall");
    long number = -1;
    if (!(file >> number)) return false;  // "running": not in a system call
#ifdef SYS_poll
    if (number == SYS_poll) return true;
#endif
    return number == SYS_ppoll;
}

pid_t ThisThread() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

std::string ReadMaster(int master, size_t count, int limitMs = 2000) {
    std::string got;
    auto start = Clock::now();
    while (got.size() < count && ElapsedMs(start) < limitMs) {
        struct pollfd pfd = {master, POLLIN, 0};
        if (poll(&pfd, 1, 50) <= 0) continue;
        char buffer[4096];
        ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0) break;
        got.append(buffer, static_cast<size_t>(n));
    }
    return got;
}

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.Ok());
        ASSERT_EQ(m_port.Open(m_pty.Slave(), 115200).error, 0);
    }
    // Reopens at rate (the channel's way of changing it).
    int Reopen(uint32_t rate, CloseMode mode = CloseMode::kKeepSettings) {
        m_port.Close(mode);
        return m_port.Open(m_pty.Slave(), rate).error;
    }
    PtyPair m_pty;
    SerialPort m_port;
};

TEST_F(SerialPortTest, LineSettingsAreRaw8N1AtTheRateWithoutHangUpOnClose) {
    ASSERT_EQ(Reopen(460800), 0);
    EXPECT_EQ(m_pty.Rate(), B460800);
    struct termios tio {};
    int fd = open(m_pty.Slave().c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {  // as root the exclusive flag does not keep this look out
        ASSERT_EQ(tcgetattr(fd, &tio), 0);
        close(fd);
        EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | HUPCL | CRTSCTS), 0u);
        EXPECT_NE(tio.c_cflag & CLOCAL, 0u);
        EXPECT_NE(tio.c_cflag & CREAD, 0u);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), 0u);
        EXPECT_EQ(tio.c_cc[VMIN], 0);
        EXPECT_EQ(tio.c_cc[VTIME], 0);
    }
    ASSERT_EQ(Reopen(230400), 0);
    EXPECT_EQ(m_pty.Rate(), B230400);
    // A rate the line cannot take leaves the port closed and is worth the next rate.
    m_port.Close(CloseMode::kKeepSettings);
    const platform::SerialLine::OpenResult refused = m_port.Open(m_pty.Slave(), 123456);
    EXPECT_EQ(refused.error, EINVAL);
    EXPECT_EQ(refused.step, Step::kApplySettings);
    EXPECT_EQ(refused.problem, Problem::kRateRefused);
    EXPECT_FALSE(m_port.IsOpen());
    EXPECT_TRUE(platform::IsSupportedBaudrate(115200));
    EXPECT_FALSE(platform::IsSupportedBaudrate(0));
}

TEST_F(SerialPortTest, ASecondOpenIsRefusedWhileTheFirstHoldsThePort) {
    SerialPort other;
    const platform::SerialLine::OpenResult busy = other.Open(m_pty.Slave(), 115200);
    EXPECT_EQ(busy.error, EBUSY);
    EXPECT_EQ(busy.problem, Problem::kInUse);
    EXPECT_FALSE(other.IsOpen());
    EXPECT_EQ(m_port.Open(m_pty.Slave(), 115200).error, EISCONN);
    // Released on close: the next opening works (also for a user the exclusive flag would stop).
    EXPECT_EQ(m_port.Close(CloseMode::kKeepSettings), 0);
    EXPECT_EQ(other.Open(m_pty.Slave(), 115200).error, 0);
}

// Another program made the terminal exclusive (and may have locked it too). Only root gets
// through the flag to open it at all: the opening is refused, and the program keeps its flag.
TEST(SerialPortExclusive, AnotherProgramsExclusiveTerminalIsRefusedAndKeepsItsFlag) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    const int holder = ::open(pty.Slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::ioctl(holder, TIOCEXCL), 0);
    for (const bool locked : {false, true}) {
        if (locked) {
            ASSERT_EQ(::flock(holder, LOCK_EX), 0);
        }
        SerialPort port;
        const platform::SerialLine::OpenResult busy = port.Open(pty.Slave(), 115200);
        EXPECT_EQ(busy.error, EBUSY) << "locked: " << locked;
        EXPECT_FALSE(port.IsOpen());
        int exclusive = 0;
        ASSERT_EQ(::ioctl(holder, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 1) << "locked: " << locked;
    }
    ::close(holder);
}

TEST_F(SerialPortTest, MissingDeviceAndClosedPortReportErrors) {
    SerialPort port;
    const platform::SerialLine::OpenResult missing = port.Open("/dev/nonexistent-vexlor-tty", 115200);
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_EQ(missing.problem, Problem::kAbsent);
    char buffer[8];
    size_t got = 99;
    EXPECT_EQ(port.ReadWindow(buffer, sizeof buffer, &got), EBADF);
    EXPECT_EQ(got, 0u);
    size_t written = 99;
    EXPECT_EQ(port.Write("x", 1, &written), EBADF);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(port.Purge(), EBADF);
    EXPECT_EQ(port.Close(CloseMode::kRestoreSettings), 0);
}

TEST_F(SerialPortTest, ReadReturnsNothingAfterTheTimeOutAndWhatArrivedOtherwise) {
    char buffer[64];
    size_t got = 99;
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &got, 50, 0), 0);
    EXPECT_EQ(got, 0u);

    ASSERT_EQ(write(m_pty.Master(), "hello", 5), 5);
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &got, 1000, 0), 0);
    EXPECT_EQ(std::string(buffer, got), "hello");

    // Capacity bounds a read; the rest stays for the next one.
    ASSERT_EQ(write(m_pty.Master(), "abcdef", 6), 6);
    ASSERT_TRUE(WaitUntil([&] { return m_pty.Unread() == 6; }));
    EXPECT_EQ(m_port.Read(buffer, 4, &got, 1000, 0), 0);
    EXPECT_EQ(std::string(buffer, got), "abcd");
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &got, 1000, 0), 0);
    EXPECT_EQ(std::string(buffer, got), "ef");
}

TEST_F(SerialPortTest, SettleCollectsARepliesPiecesButNotPastTheTimeOut) {
    std::thread peer([&] {
        ASSERT_EQ(write(m_pty.Master(), "at\r", 3), 3);
        // The second piece once the read has taken the first, well inside its settle time.
        EXPECT_TRUE(WaitUntil([&] { return m_pty.Unread() == 0; }));
        ASSERT_EQ(write(m_pty.Master(), "\r\nOK\r\n", 6), 6);
    });
    char buffer[64];
    size_t got = 0;
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &got, 2000, 200), 0);
    peer.join();
    EXPECT_EQ(std::string(buffer, got), "at\r\r\nOK\r\n");
}

TEST_F(SerialPortTest, WakeReaderEndsAWaitingReadAtOnce) {
    char buffer[16];
    size_t got = 99;
    auto start = Clock::now();
    const pid_t reader = ThisThread();
    std::thread waker([&] {
        EXPECT_TRUE(WaitUntil([&] { return WaitsInPoll(reader); }));
        m_port.WakeReader();
    });
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &got, 30000, 0), 0);
    waker.join();
    EXPECT_EQ(got, 0u);
    EXPECT_LT(ElapsedMs(start), 10000);
    // A wake with no read waiting ends the next read's wait, and only that one.
    m_port.WakeReader();
    start = Clock::now();
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &got, 30000, 0), 0);
    EXPECT_LT(ElapsedMs(start), 10000);
    ASSERT_EQ(write(m_pty.Master(), "z", 1), 1);
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &got, 2000, 0), 0);
    EXPECT_EQ(got, 1u);
}

TEST_F(SerialPortTest, WriteSendsEveryByte) {
    std::vector<char> data(3000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    size_t written = 0;
    std::string got;
    std::thread reader([&] { got = ReadMaster(m_pty.Master(), data.size()); });
    EXPECT_EQ(m_port.Write(data.data(), data.size(), &written), 0);
    reader.join();
    EXPECT_EQ(written, data.size());
    EXPECT_EQ(got, std::string(data.begin(), data.end()));
}

TEST_F(SerialPortTest, AWriteNobodyTakesFailsAfterTheStallLimit) {
    SerialPort port(200);
    m_port.Close(CloseMode::kKeepSettings);
    ASSERT_EQ(port.Open(m_pty.Slave(), 115200).error, 0);
    std::vector<char> data(1 << 20, 'x');
    size_t written = 0;
    auto start = Clock::now();
    EXPECT_EQ(port.Write(data.data(), data.size(), &written), ETIMEDOUT);
    EXPECT_LT(written, data.size());
    EXPECT_LT(ElapsedMs(start), 10000);
}

TEST_F(SerialPortTest, PurgeDiscardsUnreadInput) {
    ASSERT_EQ(write(m_pty.Master(), "stale", 5), 5);
    ASSERT_TRUE(WaitUntil([&] { return m_pty.Unread() == 5; }));
    EXPECT_EQ(m_port.Purge(), 0);
    EXPECT_EQ(m_pty.Unread(), 0u);
    char buffer[16];
    size_t got = 99;
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &got, 0, 0), 0);  // what is there, at once
    EXPECT_EQ(got, 0u);
}

TEST_F(SerialPortTest, ReopeningDropsStaleInputButKeepsWhatThePeerHasNotYetRead) {
    ASSERT_EQ(write(m_pty.Master(), "stale", 5), 5);
    size_t written = 0;
    ASSERT_EQ(m_port.Write("at$qcdmg\r", 9, &written), 0);
    ASSERT_TRUE(WaitUntil([&] { return m_pty.Unread() == 5; }));
    ASSERT_EQ(Reopen(115200), 0);
    EXPECT_EQ(m_pty.Unread(), 0u);
    char buffer[16];
    size_t got = 99;
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &got, 0, 0), 0);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(ReadMaster(m_pty.Master(), 9), "at$qcdmg\r");
}

TEST_F(SerialPortTest, AVanishedLineIsAnErrorNotAnEndlessEmptyRead) {
    ASSERT_EQ(write(m_pty.Master(), "last", 4), 4);
    ASSERT_TRUE(WaitUntil([&] { return m_pty.Unread() == 4; }));
    m_pty.CloseMaster();
    char buffer[16];
    size_t got = 0;
    int error = m_port.Read(buffer, sizeof buffer, &got, 1000, 0);
    // Bytes that came before the hang-up may still be handed over once.
    if (error == 0 && got > 0) error = m_port.Read(buffer, sizeof buffer, &got, 1000, 0);
    EXPECT_EQ(error, EIO);
    EXPECT_TRUE(platform::IsDeviceGone(error));
    EXPECT_EQ(got, 0u);
    size_t written = 0;
    EXPECT_TRUE(platform::IsDeviceGone(m_port.Write("ping", 4, &written)));
    EXPECT_EQ(m_port.Close(CloseMode::kRestoreSettings), 0);
    EXPECT_FALSE(m_port.IsOpen());
}

}  // namespace

namespace {

TEST_F(SerialPortTest, AWakeNoReadTookIsDiscardedSoTheNextReadWaitsForData) {
    m_port.WakeReader();  // as stopping a listener that was not reading leaves it
    m_port.DiscardWake();
    // Data comes only once the read is waiting for it: a wake left over would have ended it first.
    const pid_t reader = ThisThread();
    std::thread peer([&] {
        EXPECT_TRUE(WaitUntil([&] { return WaitsInPoll(reader); }));
        ASSERT_EQ(write(m_pty.Master(), "late", 4), 4);
    });
    char buffer[16];
    size_t got = 0;
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &got, 5000, 0), 0);
    peer.join();
    EXPECT_EQ(std::string(buffer, got), "late");
}

// The rate the far end sees while it takes bytes off the line and, as a USB adapter does, sends
// them on through its latency time: whatever the tool does to the port meanwhile must not change
// it. The first other rate seen in that time, else the rate the bytes were taken at.
speed_t RateWhenTaken(const PtyPair& pty, int latencyMs, std::string& bytes) {
    bytes = ReadMaster(pty.Master(), 1);
    const speed_t taken = pty.Rate();
    const auto end = Clock::now() + std::chrono::milliseconds(latencyMs);
    for (;;) {
        const speed_t now = pty.Rate();
        if (Clock::now() > end) return taken;  // a look after the latency time does not count
        if (now != taken) return now;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

TEST_F(SerialPortTest, ThePortKeepsTheToolsSettingsForTheRunAndGetsItsOwnBackOnlyAfterTheLastBytes) {
    ASSERT_EQ(m_port.Close(CloseMode::kRestoreSettings), 0);
    struct termios cooked {};
    ASSERT_EQ(tcgetattr(m_pty.Master(), &cooked), 0);
    cooked.c_lflag |= ICANON | ECHO;
    cooked.c_cflag |= HUPCL;
    cfsetspeed(&cooked, B9600);
    ASSERT_EQ(tcsetattr(m_pty.Master(), TCSANOW, &cooked), 0);  // somebody's terminal

    // Closes between the openings of a run leave the line as the tool set it.
    ASSERT_EQ(m_port.Open(m_pty.Slave(), 460800).error, 0);
    ASSERT_EQ(m_port.Close(CloseMode::kKeepSettings), 0);
    EXPECT_EQ(m_pty.Rate(), B460800);
    ASSERT_EQ(m_port.Open(m_pty.Slave(), 115200).error, 0);

    // The run's last command is still on its way when the port is let go.
    // The settle time counts from the last byte on the line, so from before the write at the latest.
    const auto start = Clock::now();
    size_t written = 0;
    ASSERT_EQ(m_port.Write("\x7E\x0A\x4B\xB8\x7E", 5, &written), 0);
    std::string taken;
    speed_t rate = B0;
    std::thread adapter([&] { rate = RateWhenTaken(m_pty, 20, taken); });
    ASSERT_EQ(m_port.Close(CloseMode::kRestoreSettings), 0);
    adapter.join();
    EXPECT_EQ(taken.size(), 5u);
    EXPECT_EQ(rate, static_cast<speed_t>(B115200));
    EXPECT_GE(ElapsedMs(start), platform::OutputClock::kSettleMs);

    struct termios after {};
    ASSERT_EQ(tcgetattr(m_pty.Master(), &after), 0);
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
    EXPECT_EQ(cfgetospeed(&after), static_cast<speed_t>(B9600));
    EXPECT_EQ(after.c_cflag & HUPCL, 0u);  // closing never drops DTR under a handset

    // The next run finds the port as it was and gives it back so again.
    ASSERT_EQ(m_port.Open(m_pty.Slave(), 230400).error, 0);
    ASSERT_EQ(m_port.Close(CloseMode::kRestoreSettings), 0);
    EXPECT_EQ(m_pty.Rate(), B9600);
}

TEST_F(SerialPortTest, ARateChangeWaitsForTheBytesWrittenAtTheOldRate) {
    size_t written = 0;
    ASSERT_EQ(m_port.Write("at$qcdmg\r", 9, &written), 0);
    std::string taken;
    speed_t rate = B0;
    std::thread adapter([&] { rate = RateWhenTaken(m_pty, 20, taken); });
    EXPECT_EQ(Reopen(230400), 0);
    adapter.join();
    EXPECT_EQ(taken, "at$qcdmg\r");
    EXPECT_EQ(rate, static_cast<speed_t>(B115200));
    EXPECT_EQ(m_pty.Rate(), B230400);
}

TEST(SerialPortProblems, AnythingButACharacterDeviceIsNotSerialAndOnlyLastingProblemsEndTheRetries) {
    char folder[] = "/tmp/vexlor-port-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string file = std::string(folder) + "/plain";
    {
        FILE* f = fopen(file.c_str(), "w");
        ASSERT_NE(f, nullptr);
        fclose(f);
    }
    SerialPort port;
    const platform::SerialLine::OpenResult plain = port.Open(file, 115200);
    EXPECT_EQ(plain.error, ENOTTY);
    EXPECT_EQ(plain.problem, Problem::kNotSerial);
    EXPECT_EQ(port.Open(folder, 115200).error, EISDIR);
    EXPECT_FALSE(port.IsOpen());
    unlink(file.c_str());
    rmdir(folder);

    EXPECT_EQ(platform::ProblemOfError(ENOENT), Problem::kAbsent);
    EXPECT_EQ(platform::ProblemOfError(EACCES), Problem::kNoAccess);
    EXPECT_EQ(platform::ProblemOfError(EBUSY), Problem::kInUse);
    EXPECT_EQ(platform::ProblemOfError(EISDIR), Problem::kNotSerial);
    EXPECT_EQ(platform::ProblemOfError(EIO), Problem::kOther);
    // A port held a moment by a modem manager and a rate a cheap adapter lacks are waited out.
    EXPECT_FALSE(platform::SerialLine::IsLasting(Problem::kAbsent));
    EXPECT_FALSE(platform::SerialLine::IsLasting(Problem::kInUse));
    EXPECT_FALSE(platform::SerialLine::IsLasting(Problem::kRateRefused));
    EXPECT_TRUE(platform::SerialLine::IsLasting(Problem::kNoAccess));
    EXPECT_TRUE(platform::SerialLine::IsLasting(Problem::kNotSerial));
}

}  // namespace
