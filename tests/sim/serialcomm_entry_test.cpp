// SPDX-License-Identifier: Apache-2.0
#include "serialcomm_entry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/registry.h"

namespace {

constexpr const char* kKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

TEST(SerialCommEntry, AMissingFileGetsHeaderKeyAndEntry) {
    EXPECT_EQ(WithSerialCommEntry("", "/dev/pts/7", "COM7"),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n"
              "\"/dev/pts/7\"=\"COM7\"\n");
}

TEST(SerialCommEntry, OtherKeysAndLinesStayAndTheEntryJoinsTheKey) {
    const std::string before =
        "Windows Registry Editor Version 5.00\n"
        "\n"
        "; settings of the test bench\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\n"
        "\"Level\"=dword:00000005\n"
        "\n"
        "[hkey_local_machine\\hardware\\devicemap\\serialcomm]\n"
        "\"/dev/ttyUSB0\"=\"COM3\"\n"
        "\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n"
        "\"/dev/pts/7\"=\"COM9\"\n";
    const std::string after = WithSerialCommEntry(before, "/dev/pts/7", "COM7");
    EXPECT_EQ(after,
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "; settings of the test bench\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\n"
              "\"Level\"=dword:00000005\n"
              "\n"
              "[hkey_local_machine\\hardware\\devicemap\\serialcomm]\n"
              "\"/dev/ttyUSB0\"=\"COM3\"\n"
              "\"/dev/pts/7\"=\"COM7\"\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n"
              "\"/dev/pts/7\"=\"COM9\"\n");
    // The settings reader of the tool sees both ports.
    const auto registry = platform::Registry::Parse(after);
    EXPECT_EQ(registry.ReadString(kKey, "/dev/pts/7"), "COM7");
    EXPECT_EQ(registry.ReadString(kKey, "/dev/ttyUSB0"), "COM3");
    EXPECT_EQ(registry.ReadDword("SOFTWARE\\Vexlor", "Level"), 5u);
}

TEST(SerialCommEntry, AnOlderEntryOfThePathOrOfTheComNameIsReplaced) {
    const std::string before =
        "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n"
        "\"/dev/pts/7\"=\"COM2\"\n"
        "\"/dev/pts/3\"=\"com7\"\n"
        "\"/dev/ttyS0\"=\"COM1\"\n";
    EXPECT_EQ(WithSerialCommEntry(before, "/dev/pts/7", "COM7"),
              "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n"
              "\"/dev/ttyS0\"=\"COM1\"\n"
              "\"/dev/pts/7\"=\"COM7\"\n");
    // Registering twice changes nothing more.
    const std::string once = WithSerialCommEntry(before, "/dev/pts/7", "COM7");
    EXPECT_EQ(WithSerialCommEntry(once, "/dev/pts/7", "COM7"), once);
}

TEST(SerialCommEntry, CrlfFilesKeepCrlfAndAKeylessFileGetsTheKeyAtTheEnd) {
    const std::string before = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\r\n";
    EXPECT_EQ(WithSerialCommEntry(before, "/dev/pts/1", "COM12"),
              "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n\"/dev/pts/1\"=\"COM12\"\r\n");
}

TEST(SerialCommEntry, QuotesAndBackslashesInThePathAreEscaped) {
    const std::string text = WithSerialCommEntry("", "/tmp/a\"b\\c", "COM4");
    EXPECT_NE(text.find("\"/tmp/a\\\"b\\\\c\"=\"COM4\""), std::string::npos) << text;
    EXPECT_EQ(platform::Registry::Parse(text).ReadString(kKey, "/tmp/a\"b\\c"), "COM4");
    EXPECT_EQ(WithoutSerialCommEntry(text, "/tmp/a\"b\\c", "COM4").find("COM4"), std::string::npos);
}

TEST(SerialCommEntry, RemovalTakesOnlyTheExactEntry) {
    const std::string text =
        "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n"
        "\"/dev/pts/7\"=\"COM7\"\n"
        "\"/dev/pts/8\"=\"COM8\"\n";
    // Another simulator took the name meanwhile: its entry stays.
    EXPECT_EQ(WithoutSerialCommEntry(text, "/dev/pts/7", "COM8"), text);
    EXPECT_EQ(WithoutSerialCommEntry(text, "/dev/pts/7", "COM7"),
              "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n"
              "\"/dev/pts/8\"=\"COM8\"\n");
}

TEST(SerialCommEntry, FileRegistrationCreatesUpdatesAndRemoves) {
    const std::string file = ::testing::TempDir() + "sim_reg_" + std::to_string(getpid()) + ".reg";
    unlink(file.c_str());
    ASSERT_EQ(RegisterSerialPort(file, "/dev/pts/5", "COM5"), "");
    EXPECT_EQ(platform::Registry::LoadFile(file).ReadString(kKey, "/dev/pts/5"), "COM5");
    ASSERT_EQ(RegisterSerialPort(file, "/dev/pts/6", "COM6"), "");
    ASSERT_EQ(UnregisterSerialPort(file, "/dev/pts/5", "COM5"), "");
    const auto registry = platform::Registry::LoadFile(file);
    EXPECT_FALSE(registry.ReadString(kKey, "/dev/pts/5"));
    EXPECT_EQ(registry.ReadString(kKey, "/dev/pts/6"), "COM6");
    EXPECT_NE(RegisterSerialPort("/nonexistent-vexlor-folder/x.reg", "/dev/pts/5", "COM5"), "");
    unlink(file.c_str());
    unlink((file + ".lock").c_str());
}

TEST(SerialCommEntry, AUtf16FileStaysUtf16WithItsOwnMarkAndByteOrder) {
    const std::string file = ::testing::TempDir() + "sim_reg16_" + std::to_string(getpid()) + ".reg";
    const std::u16string text =
        u"Windows Registry Editor Version "
        u"5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\r\n\"App\"=\"/tmp/t\u00E9\"\r\n";
    for (const char* mark : {"\xFF\xFE", "\xFE\xFF", ""}) {
        const bool bigEndian = std::string(mark) == "\xFE\xFF";
        SCOPED_TRACE(bigEndian);
        auto utf16 = [&](std::u16string_view units) {
            std::string bytes;
            for (const char16_t unit : units) {
                const char hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
                bytes += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
            }
            return bytes;
        };
        std::ofstream(file, std::ios::binary | std::ios::trunc) << mark << utf16(text);
        ASSERT_EQ(RegisterSerialPort(file, "/dev/pts/5", "COM5"), "");
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // The whole file is the old text and the new lines, every one of them in UTF-16.
        EXPECT_EQ(
            bytes,
            mark + utf16(text) +
                utf16(u"\r\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n\"/dev/pts/5\"=\"COM5\"\r\n"));
        const auto registry = platform::Registry::LoadFile(file);
        EXPECT_EQ(registry.ReadString(kKey, "/dev/pts/5"), "COM5");
        EXPECT_EQ(registry.ReadString("SOFTWARE\\Vexlor", "App"), "/tmp/t\xC3\xA9");
    }
    unlink(file.c_str());
    unlink((file + ".lock").c_str());
}

}  // namespace
