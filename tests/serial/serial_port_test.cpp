// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/posix/posix_serial_line.h"
#include "pty_pair.h"

namespace {

using Clock = std::chrono::steady_clock;
using SerialPort = platform::PosixSerialLine;

int ElapsedMs(Clock::time_point start) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

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
        ASSERT_EQ(m_port.Open(m_pty.Slave()), 0);
        ASSERT_EQ(m_port.ReadSettings(), 0);
        ASSERT_EQ(m_port.ApplySettings(115200), 0);
    }
    PtyPair m_pty;
    SerialPort m_port;
};

TEST_F(SerialPortTest, LineSettingsAreRaw8N1AtTheRateWithoutHangUpOnClose) {
    ASSERT_EQ(m_port.ApplySettings(460800), 0);
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
    ASSERT_EQ(m_port.ApplySettings(230400), 0);
    EXPECT_EQ(m_pty.Rate(), B230400);
    EXPECT_EQ(m_port.ApplySettings(123456), EINVAL);
    EXPECT_TRUE(platform::IsSupportedBaudrate(115200));
    EXPECT_FALSE(platform::IsSupportedBaudrate(0));
}

TEST_F(SerialPortTest, ASecondOpenIsRefusedWhileTheFirstHoldsThePort) {
    SerialPort other;
    int error = other.Open(m_pty.Slave());
    EXPECT_EQ(error, EBUSY);
    EXPECT_FALSE(other.IsOpen());
    EXPECT_EQ(m_port.Open(m_pty.Slave()), EISCONN);
    // Released on close: the next opening works (also for a user the exclusive flag would stop).
    EXPECT_EQ(m_port.Close(), 0);
    EXPECT_EQ(other.Open(m_pty.Slave()), 0);
}

TEST_F(SerialPortTest, MissingDeviceAndClosedPortReportErrors) {
    SerialPort port;
    EXPECT_EQ(port.Open("/dev/nonexistent-vexlor-tty"), ENOENT);
    char buffer[8];
    size_t got = 99;
    EXPECT_EQ(port.Read(buffer, sizeof buffer, &got), EBADF);
    EXPECT_EQ(got, 0u);
    size_t written = 99;
    EXPECT_EQ(port.Write("x", 1, &written), EBADF);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(port.Purge(), EBADF);
    EXPECT_EQ(port.Close(), 0);
}

TEST_F(SerialPortTest, ReadReturnsNothingAfterTheTimeOutAndWhatArrivedOtherwise) {
    char buffer[64];
    size_t got = 99;
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &got, 50), 0);
    EXPECT_EQ(got, 0u);

    ASSERT_EQ(write(m_pty.Master(), "hello", 5), 5);
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &got, 1000), 0);
    EXPECT_EQ(std::string(buffer, got), "hello");

    // Capacity bounds a read; the rest stays for the next one.
    ASSERT_EQ(write(m_pty.Master(), "abcdef", 6), 6);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(m_port.Read(buffer, 4, &got, 1000), 0);
    EXPECT_EQ(std::string(buffer, got), "abcd");
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &got, 1000), 0);
    EXPECT_EQ(std::string(buffer, got), "ef");
}

TEST_F(SerialPortTest, SettleCollectsARepliesPiecesButNotPastTheTimeOut) {
    std::thread peer([&] {
        ASSERT_EQ(write(m_pty.Master(), "at\r", 3), 3);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
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
    std::thread waker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        m_port.WakeReader();
    });
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &got, 30000), 0);
    waker.join();
    EXPECT_EQ(got, 0u);
    EXPECT_LT(ElapsedMs(start), 10000);
    // A wake with no read waiting ends the next read's wait, and only that one.
    m_port.WakeReader();
    start = Clock::now();
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &got, 30000), 0);
    EXPECT_LT(ElapsedMs(start), 10000);
    ASSERT_EQ(write(m_pty.Master(), "z", 1), 1);
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &got, 2000), 0);
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
    m_port.SetWriteStallLimit(200);
    std::vector<char> data(1 << 20, 'x');
    size_t written = 0;
    auto start = Clock::now();
    EXPECT_EQ(m_port.Write(data.data(), data.size(), &written), ETIMEDOUT);
    EXPECT_LT(written, data.size());
    EXPECT_LT(ElapsedMs(start), 10000);
}

TEST_F(SerialPortTest, PurgeDiscardsUnreadInput) {
    ASSERT_EQ(write(m_pty.Master(), "stale", 5), 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(m_port.Purge(), 0);
    char buffer[16];
    size_t got = 99;
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &got, 50), 0);
    EXPECT_EQ(got, 0u);
}

TEST_F(SerialPortTest, PurgeInputKeepsWhatThePeerHasNotYetRead) {
    ASSERT_EQ(write(m_pty.Master(), "stale", 5), 5);
    size_t written = 0;
    ASSERT_EQ(m_port.Write("at$qcdmg\r", 9, &written), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(m_port.PurgeInput(), 0);
    char buffer[16];
    size_t got = 99;
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &got, 50), 0);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(ReadMaster(m_pty.Master(), 9), "at$qcdmg\r");
}

TEST_F(SerialPortTest, AVanishedLineIsAnErrorNotAnEndlessEmptyRead) {
    ASSERT_EQ(write(m_pty.Master(), "last", 4), 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    m_pty.CloseMaster();
    char buffer[16];
    size_t got = 0;
    int error = m_port.Read(buffer, sizeof buffer, &got, 1000);
    // Bytes that came before the hang-up may still be handed over once.
    if (error == 0 && got > 0) error = m_port.Read(buffer, sizeof buffer, &got, 1000);
    EXPECT_EQ(error, EIO);
    EXPECT_EQ(got, 0u);
    size_t written = 0;
    EXPECT_NE(m_port.Write("ping", 4, &written), 0);
    EXPECT_EQ(m_port.Close(), 0);
    EXPECT_FALSE(m_port.IsOpen());
}

}  // namespace

namespace {

TEST_F(SerialPortTest, AWakeNoReadTookIsDiscardedSoTheNextReadWaitsForData) {
    m_port.WakeReader();  // as stopping a listener that was not reading leaves it
    m_port.DiscardWake();
    std::thread peer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        ASSERT_EQ(write(m_pty.Master(), "late", 4), 4);
    });
    char buffer[16];
    size_t got = 0;
    EXPECT_EQ(m_port.Read(buffer, sizeof buffer, &got, 5000), 0);
    peer.join();
    EXPECT_EQ(std::string(buffer, got), "late");
}

TEST_F(SerialPortTest, ClosingPutsBackTheSettingsFoundAtOpeningButKeepsDtrUp) {
    ASSERT_EQ(m_port.Close(), 0);
    struct termios cooked {};
    ASSERT_EQ(tcgetattr(m_pty.Master(), &cooked), 0);
    cooked.c_lflag |= ICANON | ECHO;
    cooked.c_cflag |= HUPCL;
    cfsetspeed(&cooked, B9600);
    ASSERT_EQ(tcsetattr(m_pty.Master(), TCSANOW, &cooked), 0);  // somebody's terminal

    ASSERT_EQ(m_port.Open(m_pty.Slave()), 0);
    ASSERT_EQ(m_port.ReadSettings(), 0);
    ASSERT_EQ(m_port.ApplySettings(460800), 0);
    EXPECT_EQ(m_pty.Rate(), B460800);
    ASSERT_EQ(m_port.Close(), 0);

    struct termios after {};
    ASSERT_EQ(tcgetattr(m_pty.Master(), &after), 0);
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
    EXPECT_EQ(cfgetospeed(&after), static_cast<speed_t>(B9600));
    EXPECT_EQ(after.c_cflag & HUPCL, 0u);
}

TEST(SerialPortProblems, AnythingButACharacterDeviceIsNotSerialAndOnlyAbsenceIsWorthRetrying) {
    char folder[] = "/tmp/vexlor-port-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string file = std::string(folder) + "/plain";
    { FILE* f = fopen(file.c_str(), "w"); ASSERT_NE(f, nullptr); fclose(f); }
    SerialPort port;
    EXPECT_EQ(port.Open(file), ENOTTY);
    EXPECT_EQ(port.Open(folder), EISDIR);
    EXPECT_FALSE(port.IsOpen());
    unlink(file.c_str());
    rmdir(folder);

    using Problem = platform::SerialLine::Problem;
    EXPECT_EQ(port.ProblemOf(ENOENT), Problem::kAbsent);
    EXPECT_EQ(port.ProblemOf(EACCES), Problem::kNoAccess);
    EXPECT_EQ(port.ProblemOf(EBUSY), Problem::kInUse);
    EXPECT_EQ(port.ProblemOf(ENOTTY), Problem::kNotSerial);
    EXPECT_EQ(port.ProblemOf(EISDIR), Problem::kNotSerial);
    EXPECT_EQ(port.ProblemOf(EIO), Problem::kOther);
    EXPECT_FALSE(platform::SerialLine::IsLasting(Problem::kAbsent));
    EXPECT_FALSE(platform::SerialLine::IsLasting(Problem::kOther));
    EXPECT_TRUE(platform::SerialLine::IsLasting(Problem::kNoAccess));
    EXPECT_TRUE(platform::SerialLine::IsLasting(Problem::kInUse));
    EXPECT_TRUE(platform::SerialLine::IsLasting(Problem::kNotSerial));
}

}  // namespace
