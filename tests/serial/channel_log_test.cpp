// SPDX-License-Identifier: Apache-2.0
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "channel_fixture.h"
#include "log/log.h"

namespace {

// The channel's lines in the diagnostic log: "port TAB source TAB message" after the time.
class ChannelLogTest : public ChannelTest {
protected:
    void SetUp() override {
        m_logDir = TestDir() + "/log/";
        std::filesystem::create_directories(m_logDir);
        // The simulator adds its port entry to this file and keeps these lines.
        std::ofstream(SettingsFile()) << "Windows Registry Editor Version 5.00\n\n"
                                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\n"
                                         "\"Level\"=dword:00000005\n\"AppendOption\"=dword:00000000\n"
                                         "\"App\"=\""
                                      << m_logDir << "\"\n";
        ASSERT_EQ(LogOpen("SOFTWARE\\Vexlor"), 1);
    }
    void TearDown() override { LogClose(); }

    std::vector<std::string> Lines() {
        LogClose();
        std::vector<std::string> lines;
        for (const auto& entry : std::filesystem::directory_iterator(m_logDir)) {
            std::ifstream file(entry.path(), std::ios::binary);
            for (std::string line; std::getline(file, line);) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                size_t first = line.find('\t');
                size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
                if (second != std::string::npos)
                    lines.push_back(line.substr(0, first) + "\t" + line.substr(second + 1));
            }
        }
        return lines;
    }
    static bool Has(const std::vector<std::string>& lines, const std::string& wanted) {
        return std::find(lines.begin(), lines.end(), wanted) != lines.end();
    }

    std::string m_logDir;
};

TEST_F(ChannelLogTest, ListenerOpenProbeDetectAndCloseWriteTheirLines) {
    auto sim = StartSim({"--mode", "diag"});
    {
        TestChannel channel;
        OpenAndDetect(channel, EVENT_DIAG_FOUND);
        EXPECT_EQ(channel.Close(), 0);
        EXPECT_EQ(channel.Close(), 0);
    }
    std::vector<std::string> lines = Lines();
    for (const char* wanted : {
             "<WRN>\tCOM7\tCSerialIO::StartListener\tStart listener.",
             "<WRN>\tCOM7\tCSerialIO::StartListener\tStart listener completed.",
             "<WRN>\tCOM7\tCSerialIO::ThreadProc\tStart InternalClose().",
             "<!ER>\tCOM7\tCSerialIO::InternalClose\tCOM port handle is null.",
             "<WRN>\tCOM7\tCSerialIO::ThreadProc\tStart InternalOpen().",
             "<WRN>\tCOM7\tCSerialIO::InternalOpen\tStart InternalOpen.",
             "<WRN>\tCOM7\tCSerialIO::InternalOpen\tStart create file.",
             "<WRN>\tCOM7\tCSerialIO::InternalOpen\tGetCommState.",
             "<WRN>\tCOM7\tCSerialIO::InternalOpen\tSetCommState.",
             "<WRN>\tCOM7\tCSerialIO::InternalOpen\tGetCommTimeOut.",
             "<WRN>\tCOM7\tCSerialIO::InternalOpen\tPurgeComm.",
             "<WRN>\tCOM7\tCSerialIO::InternalOpen\tCreate write event.",
             "<WRN>\tCOM7\tCSerialIO::InternalOpen\tCreate read event.",
             "<WRN>\tCOM7\tCSerialIO::InternalOpen\tStart InternalOpen Completed.",
             "<WRN>\tCOM7\tCSerialIO::SendProbe\tWrite detection packet to com port.",
             "<DBG>\tCOM7\tCSerialIO::InternalWrite\tWrite data",
             "<WRN>\tCOM7\tCSerialIO::SendProbe\tWrite detection packet successfully.",
             "<DBG>\tCOM7\tCSerialIO::ThreadProc\tRead COM port buffer",
             "<WRN>\tCOM7\tCSerialIO::ThreadProc\tMobile mode detection.",
             "<WRN>\tCOM7\tCSerialIO::Close\tTry to close com port COM7",
             "<WRN>\tCOM7\tCSerialIO::StopListener\tStart stop listen thread.",
             "<WRN>\tCOM7\tCSerialIO::StopListener\tComplete stop listen thread.",
             "<WRN>\tCOM7\tCSerialIO::InternalClose\tTry to close COM port COM7.",
             "<WRN>\tCOM7\tCSerialIO::InternalClose\tClose COM port COM7 successfully.",
             "<!ER>\tCOM7\tCSerialIO::StopListener\tListen thread is null, so no stop operation.",
         }) {
        EXPECT_TRUE(Has(lines, wanted)) << wanted;
    }
}

TEST_F(ChannelLogTest, PortColumnDropsThePrefixAndRefusalsAreLogged) {
    {
        TestChannel channel;
        ASSERT_EQ(channel.Open("COM12", 115200), 0);  // not in the port map
        ASSERT_TRUE(WaitUntil([&] { return channel.LastError() == kSerialRefused; }));
        channel.Close();
        EXPECT_EQ(channel.Open("COM1234567890123", 115200), ENAMETOOLONG);
    }
    std::vector<std::string> lines = Lines();
    EXPECT_TRUE(Has(lines, "<WRN>\tCOM12\tCSerialIO::ThreadProc\tStart InternalOpen()."));
    EXPECT_TRUE(Has(lines, "<!ER>\tCOM12\tCSerialIO::ThreadProc\tInternalOpen() failed."));
    EXPECT_TRUE(Has(lines, "<WRN>\tCOM12\tCSerialIO::Close\tTry to close com port COM12"));
    EXPECT_TRUE(Has(lines,
                    "<!ER>\tCOM1234567890123\tCSerialIO::Open\tDevice name COM1234567890123 is too long: at "
                    "most 15 characters."));
    // A port missing from the map is never opened, so InternalOpen writes nothing of its own.
    for (const std::string& line : lines) EXPECT_EQ(line.find("CSerialIO::InternalOpen"), std::string::npos) << line;
}

}  // namespace
