// SPDX-License-Identifier: Apache-2.0
#include <dirent.h>
#include <poll.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "channel_fixture.h"
#include "pty_pair.h"

namespace {

int CountEntries(const char* dir) {
    int count = 0;
    if (DIR* d = opendir(dir)) {
        while (struct dirent* entry = readdir(d)) count += entry->d_name[0] != '.';
        closedir(d);
    }
    return count;
}

TEST_F(ChannelTest, EachOpeningTakesTheNextRateAndTheFourthWrapsTo115200) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    RegisterOnly(pty.Slave(), "COM8");
    TestChannel channel;
    ASSERT_EQ(channel.Open("COM8", 115200), 0);
    channel.StopListener(-1);  // only the stored name is wanted here
    channel.m_nBaudIndex = 0;
    const speed_t expected[] = {B115200, B230400, B460800, B115200};
    const uint32_t rates[] = {115200, 230400, 460800, 115200};
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(channel.InternalOpen(), 0);
        EXPECT_EQ(channel.Baudrate(), rates[i]);
        EXPECT_EQ(pty.Rate(), expected[i]);
        EXPECT_EQ(channel.InternalClose(), 0);
    }
    // An opening that finds the port open fails, but the rotation still moves on.
    ASSERT_EQ(channel.InternalOpen(), 0);
    EXPECT_EQ(channel.InternalOpen(), kSerialAlreadyOpen);
    EXPECT_EQ(channel.Baudrate(), 460800u);
    EXPECT_EQ(pty.Rate(), B230400);  // the open port kept its rate
    EXPECT_EQ(channel.InternalClose(), 0);
    EXPECT_EQ(channel.BaudIndexOf(230400), 1);
    EXPECT_EQ(channel.BaudIndexOf(9600), -1);
}

// A handset whose first reply nobody can classify: the listener keeps the port open at that
// rate and only probes again, until a recognisable reply comes.
TEST_F(ChannelTest, UnrecognisedReplyKeepsTheRateAndProbesAgain) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    RegisterOnly(pty.Slave(), "COM8");
    std::vector<speed_t> probeRates;
    std::thread peer([&] {
        std::string line;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (probeRates.size() < 4 && std::chrono::steady_clock::now() < deadline) {
            struct pollfd ready = {pty.Master(), POLLIN, 0};
            if (poll(&ready, 1, 50) <= 0) continue;
            char buffer[256];
            ssize_t n = read(pty.Master(), buffer, sizeof buffer);
            if (n <= 0) continue;
            line.append(buffer, static_cast<size_t>(n));
            size_t at;
            while ((at = line.find(std::string(reinterpret_cast<const char*>(kDetectionPacket),
                                               kDetectionPacketSize))) != std::string::npos) {
                line.erase(0, at + kDetectionPacketSize);
                probeRates.push_back(pty.Rate());
                static const uint8_t garbage[] = {0x55, 0xAA, 0x7E};
                static const uint8_t diag[] = {0x13, 0x61, 0x74, 0x0D, 0x62, 0x09, 0x7E};
                if (probeRates.size() < 4) {
                    ASSERT_EQ(write(pty.Master(), garbage, sizeof garbage), 3);
                } else {
                    ASSERT_EQ(write(pty.Master(), diag, sizeof diag), 7);
                }
            }
        }
    });
    int flags = fcntl(pty.Master(), F_GETFL);
    fcntl(pty.Master(), F_SETFL, flags | O_NONBLOCK);
    TestChannel channel;
    ASSERT_EQ(channel.Open("COM8", 115200), 0);
    bool found = channel.WaitFor(EVENT_DIAG_FOUND, 1, 20000);
    peer.join();
    ASSERT_TRUE(found);
    EXPECT_EQ(probeRates, (std::vector<speed_t>{B115200, B115200, B115200, B115200}));
    EXPECT_EQ(channel.Baudrate(), 115200u);
    EXPECT_EQ(channel.UnreadCount(), 0u);  // bytes of the unknown mode are never kept
    EXPECT_EQ(channel.Close(), 0);
}

TEST_F(ChannelTest, OpenStoresTheNameWithThePrefixWhereNeeded) {
    auto sim = StartSim({"--mode", "diag"});
    TestChannel channel;
    OpenAndDetect(channel, EVENT_DIAG_FOUND);
    EXPECT_STREQ(channel.Device(), "COM7");
    EXPECT_STREQ(channel.PortName(), "COM7");
    // Open on the open port changes nothing.
    int detecting = channel.EventCount(EVENT_DETECTING);
    EXPECT_EQ(channel.Open("COM7", 115200), kSerialAlreadyOpen);
    EXPECT_EQ(channel.LastError(), kSerialAlreadyOpen);
    EXPECT_EQ(channel.EventCount(EVENT_DETECTING), detecting);
    EXPECT_EQ(channel.Close(), 0);

    TestChannel far;
    EXPECT_EQ(far.Open("COM12", 115200), 0);
    EXPECT_STREQ(far.Device(), "\\\\.\\COM12");
    EXPECT_STREQ(far.PortName(), "COM12");
    EXPECT_FALSE(far.IsPortOpen());  // not in the port map: never opened
    EXPECT_EQ(far.Close(), 0);

    TestChannel prefixed;
    OpenAndDetect(prefixed, EVENT_DIAG_FOUND);
    EXPECT_EQ(prefixed.Close(), 0);
    EXPECT_EQ(prefixed.Open("\\\\.\\COM7", 115200), 0);
    EXPECT_STREQ(prefixed.Device(), "\\\\.\\COM7");
    EXPECT_TRUE(prefixed.WaitFor(EVENT_DIAG_FOUND, 2));
    EXPECT_EQ(prefixed.Close(), 0);
}

TEST_F(ChannelTest, ADeviceNameThatDoesNotFitIsRefused) {
    TestChannel channel;
    EXPECT_EQ(channel.Open("COM12345678901", 115200), ENAMETOOLONG);  // 18 with the prefix
    EXPECT_EQ(channel.LastError(), ENAMETOOLONG);
    EXPECT_FALSE(channel.IsListenerRunning());
    EXPECT_STREQ(channel.Device(), "");
    EXPECT_EQ(channel.Open("\\\\.\\COM123456789", 115200), ENAMETOOLONG);  // 16
    EXPECT_FALSE(channel.IsListenerRunning());
    EXPECT_EQ(channel.Open("COM12345678", 115200), 0);  // exactly 15 with the prefix
    EXPECT_STREQ(channel.Device(), "\\\\.\\COM12345678");
    // Its listener keeps retrying the missing port: the name is in use and stays.
    EXPECT_EQ(channel.Open("COM3", 115200), kSerialAlreadyOpen);
    EXPECT_STREQ(channel.Device(), "\\\\.\\COM12345678");
    EXPECT_EQ(channel.Close(), 0);
}

TEST_F(ChannelTest, CloseWithoutListenerClosesAnOpenPortItself) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    RegisterOnly(pty.Slave(), "COM8");
    TestChannel channel;
    ASSERT_EQ(channel.Open("COM8", 115200), 0);
    channel.StopListener(-1);
    ASSERT_FALSE(channel.IsPortOpen());
    EXPECT_EQ(channel.Close(), 0);  // nothing open, no listener
    ASSERT_EQ(channel.InternalOpen(), 0);
    EXPECT_EQ(channel.Close(), 1);
    EXPECT_FALSE(channel.IsPortOpen());
    // Operations on the closed port.
    uint32_t written = 7;
    EXPECT_EQ(channel.InternalWrite("x", 1, &written), kSerialNotOpen);
    EXPECT_EQ(written, 0u);
    char buffer[4];
    int32_t taken = 7;
    EXPECT_EQ(channel.Read(buffer, 4, &taken), kSerialNotOpen);
    EXPECT_EQ(taken, 0);
    EXPECT_EQ(channel.InternalClose(), 0);
}

TEST_F(ChannelTest, ReceiveBufferGrowsAndKeepsEveryEchoedByteInOrder) {
    auto sim = StartSim({"--mode", "ds"});
    TestChannel channel;
    OpenAndDetect(channel, EVENT_DS_FOUND);
    std::string sent;
    for (int i = 0; i < 9000; ++i) sent.push_back(static_cast<char>('0' + i % 10));
    uint32_t written = 0;
    ASSERT_EQ(channel.Write(sent.data(), static_cast<int32_t>(sent.size()), &written), 0);
    EXPECT_EQ(written, sent.size());
    ASSERT_TRUE(WaitUntil([&] { return channel.UnreadCount() >= sent.size(); }));
    EXPECT_EQ(channel.UnreadCount(), sent.size());
    EXPECT_EQ(channel.RxCapacity(), 16384u);
    EXPECT_GE(channel.EventCount(EVENT_DATA), 9);  // at most 1024 bytes a read

    std::string got(2, '\0');
    int32_t taken = 0;
    ASSERT_EQ(channel.Read(got.data(), 2, &taken), 0);
    EXPECT_EQ(taken, 2);
    EXPECT_EQ(channel.UnreadCount(), sent.size() - 2);
    std::string rest(sent.size(), '\0');
    ASSERT_EQ(channel.Read(rest.data(), static_cast<int32_t>(rest.size()), &taken), 0);
    EXPECT_EQ(taken, static_cast<int32_t>(sent.size() - 2));
    EXPECT_EQ(got + rest.substr(0, static_cast<size_t>(taken)), sent);
    ASSERT_EQ(channel.Read(rest.data(), 10, &taken), 0);
    EXPECT_EQ(taken, 0);
    EXPECT_EQ(channel.Close(), 0);
}

TEST_F(ChannelTest, WriteGateRefusesOwnerWritesAndEventHoldKeepsDataQuiet) {
    auto sim = StartSim({"--mode", "ds"});
    TestChannel channel;
    OpenAndDetect(channel, EVENT_DS_FOUND);

    channel.m_bBlockWrites = 1;
    uint32_t written = 9;
    EXPECT_EQ(channel.Write("12345", 5, &written), kSerialRefused);
    EXPECT_EQ(written, 9u);  // untouched: nothing was attempted
    channel.m_bHoldEvents = 1;
    // The gate does not apply to InternalWrite; the echo is kept but raises no event.
    ASSERT_EQ(channel.InternalWrite("67890", 5, &written), 0);
    EXPECT_EQ(written, 5u);
    ASSERT_TRUE(WaitUntil([&] { return channel.UnreadCount() >= 5; }));
    EXPECT_EQ(channel.EventCount(EVENT_DATA), 0);
    char got[16] = {};
    int32_t taken = 0;
    ASSERT_EQ(channel.Read(got, sizeof got, &taken), 0);
    EXPECT_EQ(std::string(got, static_cast<size_t>(taken)), "67890");
    EXPECT_EQ(sim->CountTraced("rx", "31 32 33 34 35"), 0);

    channel.m_bBlockWrites = 0;
    channel.m_bHoldEvents = 0;
    ASSERT_EQ(channel.Write("12", 2, &written), 0);
    EXPECT_TRUE(channel.WaitFor(EVENT_DATA));
    EXPECT_EQ(channel.Close(), 0);
}

TEST(ReceiveBuffer, GrowthAndCompactionRules) {
    TestChannel channel;
    std::vector<uint8_t> bytes(9000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);

    // 8000 unread in 8192, then 1024 more: one 8192 step.
    channel.AppendReceived(bytes.data(), 8000);
    EXPECT_EQ(channel.RxCapacity(), 8192u);
    channel.AppendReceived(bytes.data(), 1024);
    EXPECT_EQ(channel.RxCapacity(), 16384u);
    EXPECT_EQ(channel.m_nRxRead.load(), 0u);
    EXPECT_EQ(channel.m_nRxWrite.load(), 9024u);
    EXPECT_EQ(channel.m_pRxBuffer[7999], bytes[7999]);
    EXPECT_EQ(channel.m_pRxBuffer[8000], bytes[0]);

    // 9000 into an empty 8192 buffer: two steps at once.
    TestChannel fresh;
    fresh.AppendReceived(bytes.data(), 9000);
    EXPECT_EQ(fresh.RxCapacity(), 24576u);
    EXPECT_EQ(fresh.UnreadCount(), 9000u);
    EXPECT_EQ(std::memcmp(fresh.m_pRxBuffer.get(), bytes.data(), 9000), 0);

    // Room in all but not at the end: the unread bytes move to the start.
    TestChannel moved;
    moved.AppendReceived(bytes.data(), 8000);
    moved.m_nRxRead = 7000;                          // as if the owner had read 7000
    moved.AppendReceived(bytes.data() + 8000, 192);  // ends exactly at the capacity
    EXPECT_EQ(moved.RxCapacity(), 8192u);
    EXPECT_EQ(moved.m_nRxRead.load(), 0u);
    EXPECT_EQ(moved.m_nRxWrite.load(), 1192u);
    EXPECT_EQ(std::memcmp(moved.m_pRxBuffer.get(), bytes.data() + 7000, 1192), 0);

    // Fits before the end: appended in place.
    TestChannel inPlace;
    inPlace.AppendReceived(bytes.data(), 100);
    inPlace.m_nRxRead = 50;
    inPlace.AppendReceived(bytes.data(), 100);
    EXPECT_EQ(inPlace.m_nRxRead.load(), 50u);
    EXPECT_EQ(inPlace.m_nRxWrite.load(), 200u);
    // Never shrinks.
    inPlace.m_nRxRead = 200;
    inPlace.AppendReceived(bytes.data(), 9000);
    EXPECT_EQ(inPlace.RxCapacity(), 24576u);
    inPlace.m_nRxRead = inPlace.m_nRxWrite.load();
    inPlace.AppendReceived(bytes.data(), 1);
    EXPECT_EQ(inPlace.RxCapacity(), 24576u);
}

TEST_F(ChannelTest, HundredOpenCloseCyclesLeakNoDescriptorOrThread) {
    auto sim = StartSim({"--mode", "diag"});
    TestChannel channel;
    OpenAndDetect(channel, EVENT_DIAG_FOUND);  // warm-up: anything created once is created now
    ASSERT_EQ(channel.Close(), 0);
    const int fds = CountEntries("/proc/self/fd");
    const int threads = CountEntries("/proc/self/task");
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(channel.Open(kSimPort, 115200), 0) << "cycle " << i;
        ASSERT_TRUE(channel.WaitFor(EVENT_DIAG_FOUND, i + 2)) << "cycle " << i;
        ASSERT_EQ(channel.Close(), 0) << "cycle " << i;
    }
    EXPECT_EQ(CountEntries("/proc/self/fd"), fds);
    EXPECT_EQ(CountEntries("/proc/self/task"), threads);
    EXPECT_EQ(channel.EventCount(EVENT_LISTENER_ENDED), 101);
}

// A listener held in OnEvent beyond StopListener's limit: no second listener may start on the
// port until it has really ended.
TEST_F(ChannelTest, AListenerThatOutlivesTheStopLimitBlocksANewOneUntilItEnds) {
    auto sim = StartSim({"--mode", "diag"});
    TestChannel channel;
    channel.BlockOn(EVENT_DIAG_FOUND);
    ASSERT_EQ(channel.Open(kSimPort, 115200), 0);
    ASSERT_TRUE(channel.WaitFor(EVENT_DIAG_FOUND));
    EXPECT_EQ(channel.StopListener(20), 0);
    EXPECT_TRUE(channel.IsListenerRunning());
    EXPECT_EQ(channel.StartListener(), EBUSY);
    EXPECT_EQ(channel.EventCount(EVENT_DETECTING), 1);  // no second listener began
    channel.Release();
    ASSERT_TRUE(WaitUntil([&] { return !channel.IsListenerRunning(); }));
    EXPECT_FALSE(channel.IsPortOpen());  // the old listener closed the port on its way out
    ASSERT_EQ(channel.StartListener(), 0);
    EXPECT_TRUE(channel.WaitFor(EVENT_DIAG_FOUND, 2));
    EXPECT_EQ(channel.Close(), 0);
}

TEST_F(ChannelTest, ReadWhenAvailableGivesUpWhenNothingArrives) {
    auto sim = StartSim({"--mode", "diag"});
    TestChannel channel;
    OpenAndDetect(channel, EVENT_DIAG_FOUND);
    char buffer[100];
    int32_t taken = 5;
    EXPECT_EQ(channel.ReadWhenAvailable(buffer, sizeof buffer, &taken), ETIMEDOUT);
    EXPECT_EQ(taken, 0);
    EXPECT_EQ(channel.Close(), 0);
}

TEST_F(ChannelTest, AHandsetThatVanishesSendsTheListenerBackToDetection) {
    auto sim = StartSim({"--mode", "diag"});
    TestChannel channel;
    OpenAndDetect(channel, EVENT_DIAG_FOUND);
    sim->Kill();
    // The dead terminal's number may be handed to another process's pseudo-terminal: keep
    // the map from pointing there.
    RegisterOnly("/dev/nonexistent-vexlor-tty", "COM9");
    ASSERT_TRUE(channel.WaitFor(EVENT_DETECTING, 2)) << "read error not noticed";
    EXPECT_NE(channel.Mode(), PHONE_MODE_DIAG);
    // Writes fail at once instead of hanging; the listener keeps trying to reopen.
    uint32_t written = 0;
    EXPECT_NE(channel.InternalWrite("\x0C\x14\x3A\x7E", 4, &written), 0);
    ASSERT_TRUE(WaitUntil([&] { return !channel.IsPortOpen() && channel.LastError() != 0; }, 5000))
        << "no reopening tried";
    EXPECT_TRUE(channel.IsListenerRunning());
    EXPECT_EQ(channel.EventCount(EVENT_DETECTING), 2);
    int32_t closed = channel.Close();
    EXPECT_TRUE(closed == 0 || closed == 1) << closed;
    EXPECT_FALSE(channel.IsListenerRunning());
    EXPECT_FALSE(channel.IsPortOpen());
    EXPECT_EQ(channel.EventCount(EVENT_LISTENER_ENDED), 1);
}

}  // namespace
