// SPDX-License-Identifier: Apache-2.0
// Finding and reading the settings file: the search order and files that are not settings files.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>

#include "platform/registry.h"
#include "test_support.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSample = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\r\n\"App\"=\"%s\"\r\n";

// Sets or clears an environment variable for one test and puts the old value back afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        if (value) {
            test::SetEnv(name, *value);
        } else {
            test::UnsetEnv(name);
        }
    }
    ~ScopedEnv() {
        if (m_old) {
            test::SetEnv(m_name, *m_old);
        } else {
            test::UnsetEnv(m_name);
        }
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

class RegistryFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = test::MakeScratchFolder("vexlor-regtest-");
        ASSERT_FALSE(m_dir.empty());
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }
    // Writes a settings file whose "App" value says which file it is.
    std::string WriteSettings(const fs::path& path, const std::string& marker) {
        fs::create_directories(path.parent_path());
        char text[256];
        std::snprintf(text, sizeof text, kSample, marker.c_str());
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    // The settings in use. Windows loads its own registry instead, but finds and reads the
    // settings file the same way.
    static Registry LoadedSettings() {
#ifdef _WIN32
        const std::string path = Registry::SettingsPath();
        return path.empty() ? Registry() : Registry::LoadFile(path);
#else
        return Registry::Load();
#endif
    }
    static std::optional<std::string> LoadedMarker() { return LoadedSettings().ReadString("SOFTWARE\\Vexlor", "App"); }
    fs::path m_dir;
};

TEST_F(RegistryFileTest, ExplicitFileComesFirstEvenWhenMissing) {
    std::string config = (m_dir / "config").string();
    WriteSettings(m_dir / "config/vexlor/registry.reg", "user");
    std::string chosen = WriteSettings(m_dir / "chosen.reg", "chosen");
    ScopedEnv xdg("XDG_CONFIG_HOME", config);
    {
        ScopedEnv reg("VEXLOR_REGISTRY", chosen);
        EXPECT_EQ(Registry::SettingsPath(), chosen);
        EXPECT_EQ(LoadedMarker(), "chosen");
    }
    {
        // A missing explicit file means no settings at all, not the next place.
        ScopedEnv reg("VEXLOR_REGISTRY", (m_dir / "absent.reg").string());
        EXPECT_EQ(Registry::SettingsPath(), "");
        EXPECT_FALSE(LoadedSettings().HasKey("SOFTWARE\\Vexlor"));
    }
#ifndef _WIN32  // the XDG folders are a Linux search (an absolute path there starts with '/')
    {
        // Empty counts as not set.
        ScopedEnv reg("VEXLOR_REGISTRY", std::string());
        EXPECT_EQ(LoadedMarker(), "user");
    }
#endif
}

TEST_F(RegistryFileTest, UserConfigFolderThenHome) {
#ifdef _WIN32
    GTEST_SKIP() << "the XDG folders are a Linux search";
#endif
    ScopedEnv reg("VEXLOR_REGISTRY", std::nullopt);
    std::string home = (m_dir / "home").string();
    std::string inHome = WriteSettings(m_dir / "home/.config/vexlor/registry.reg", "home");
    std::string inXdg = WriteSettings(m_dir / "xdg/vexlor/registry.reg", "xdg");
    ScopedEnv homeEnv("HOME", home);
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", (m_dir / "xdg").string());
        EXPECT_EQ(Registry::SettingsPath(), inXdg);
        EXPECT_EQ(LoadedMarker(), "xdg");
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
        EXPECT_EQ(Registry::SettingsPath(), inHome);
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "relative/path");  // not absolute: ignored
        EXPECT_EQ(Registry::SettingsPath(), inHome);
    }
    {
        // An XDG folder without the file falls through to the machine-wide file (if any).
        ScopedEnv xdg("XDG_CONFIG_HOME", (m_dir / "empty").string());
        std::string path = Registry::SettingsPath();
        EXPECT_TRUE(path.empty() || path == "/etc/vexlor/registry.reg") << path;
    }
}

TEST_F(RegistryFileTest, LoadFileReadsCrlfFileWithByteOrderMark) {
    std::ofstream(m_dir / "bom.reg", std::ios::binary)
        << "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\r\n"
           "\"Level\"=dword:00000003\r\n";
    EXPECT_EQ(Registry::LoadFile((m_dir / "bom.reg").string()).ReadDword("SOFTWARE\\Vexlor", "Level"), 3u);
}

TEST_F(RegistryFileTest, WhatIsNotARegularFileGivesNoSettings) {
    EXPECT_FALSE(Registry::LoadFile((m_dir / "absent.reg").string()).HasKey("SOFTWARE\\Vexlor"));
    EXPECT_FALSE(Registry::LoadFile(m_dir.string()).HasKey(""));  // a folder
#ifndef _WIN32                                                    // devices and FIFOs by path
    EXPECT_FALSE(Registry::LoadFile("/dev/zero").HasKey(""));     // endless device
    std::string fifo = (m_dir / "fifo.reg").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(Registry::LoadFile(fifo).HasKey(""));  // must not wait for a writer
#endif
}

TEST_F(RegistryFileTest, HugeFileIsRefusedWhole) {
    // Over 16 MiB: no settings file is that big. The valid key at the start is not used.
    fs::path path = m_dir / "huge.reg";
    {
        std::ofstream out(path, std::ios::binary);
        out << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\n\"Level\"=dword:00000005\n";
        std::string filler(1 << 20, ';');
        filler.back() = '\n';
        for (int i = 0; i < 50; ++i) out << filler;
    }
    ASSERT_GT(fs::file_size(path), 50u << 20);
    EXPECT_FALSE(Registry::LoadFile(path.string()).HasKey("SOFTWARE\\Vexlor"));
    int error = 0;
    EXPECT_FALSE(Registry::LoadFile(path.string(), &error).HasKey("SOFTWARE\\Vexlor"));
    EXPECT_EQ(error, EFBIG);
}

TEST_F(RegistryFileTest, LargeFileUnderTheCapIsRead) {
    fs::path path = m_dir / "large.reg";
    {
        std::ofstream out(path, std::ios::binary);
        std::string comment(99, ';');
        for (int i = 0; i < 150000; ++i) out << comment << '\n';  // 15 MB of comments
        out << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\n\"Level\"=dword:00000005\n";
    }
    ASSERT_LT(fs::file_size(path), 16u << 20);
    EXPECT_EQ(Registry::LoadFile(path.string()).ReadDword("SOFTWARE\\Vexlor", "Level"), 5u);
}

TEST_F(RegistryFileTest, BinaryFileIsHarmless) {
    fs::path path = m_dir / "binary.reg";
    std::mt19937 random(7);
    std::string bytes(1 << 20, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    std::ofstream(path, std::ios::binary) << bytes << "\n[HKEY_LOCAL_MACHINE\\After]\n\"v\"=dword:00000001\n";
    Registry r = Registry::LoadFile(path.string());
    EXPECT_EQ(r.ReadDword("After", "v"), 1u);
}

// The same settings as regedit writes them by default (UTF-16 little-endian with CRLF), as UTF-16
// big-endian and as UTF-8. The device name holds a character outside the Basic Multilingual Plane,
// so it travels as a surrogate pair.
const char kSettingsUtf8[] =
    "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\n"
    "\"Level\"=dword:00000005\n\"AppendOption\"=dword:00000001\n\"App\"=\"/home/técnico/logs/\"\n\n"
    "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n"
    "\"/dev/serial/by-id/usb-Überträger_𝄞-if00\"=\"COM3\"\n\"/dev/pts/7\"=\"COM7\"\n";
const char16_t kSettingsUtf16[] =
    u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\r\n"
    u"\"Level\"=dword:00000005\r\n\"AppendOption\"=dword:00000001\r\n\"App\"=\"/home/técnico/logs/\"\r\n\r\n"
    u"[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n"
    u"\"/dev/serial/by-id/usb-Überträger_𝄞-if00\"=\"COM3\"\r\n\"/dev/pts/7\"=\"COM7\"\r\n";

// The bytes of a UTF-16 text with its byte order mark.
std::string Utf16Bytes(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t unit : text) {
        char hi = static_cast<char>(unit >> 8), lo = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return bytes;
}

TEST_F(RegistryFileTest, Utf16FilesReadLikeUtf8) {
    const std::string port =
        "/dev/serial/by-id/usb-\xC3\x9C"
        "bertr\xC3\xA4ger_\xF0\x9D\x84\x9E-if00";
    const std::pair<const char*, std::string> files[] = {
        {"utf8.reg", kSettingsUtf8},
        {"le.reg", Utf16Bytes(kSettingsUtf16, false)},
        {"be.reg", Utf16Bytes(kSettingsUtf16, true)},
        {"le-no-mark.reg", Utf16Bytes(kSettingsUtf16, false).substr(2)},
        {"be-no-mark.reg", Utf16Bytes(kSettingsUtf16, true).substr(2)},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        std::ofstream(m_dir / name, std::ios::binary) << bytes;
        int error = -1;
        Registry r = Registry::LoadFile((m_dir / name).string(), &error);
        EXPECT_EQ(error, 0);
        EXPECT_EQ(r.ReadDword("SOFTWARE\\Vexlor", "Level"), 5u);
        EXPECT_EQ(r.ReadDword("SOFTWARE\\Vexlor", "AppendOption"), 1u);
        EXPECT_EQ(r.ReadString("SOFTWARE\\Vexlor", "App"),
                  "/home/t\xC3\xA9"
                  "cnico/logs/");
        auto ports = r.Values("HARDWARE\\DEVICEMAP\\SERIALCOMM");
        ASSERT_EQ(ports.size(), 2u);
        EXPECT_EQ(ports[0].first, port);
        EXPECT_EQ(ports[0].second.text, "COM3");
        EXPECT_EQ(r.ReadString("HARDWARE\\DEVICEMAP\\SERIALCOMM", "/dev/pts/7"), "COM7");
    }
}

TEST_F(RegistryFileTest, CutUtf16FileKeepsTheWholeLinesBeforeTheCut) {
    // Every cut, odd ones and those between the halves of the surrogate pair included.
    const std::string whole = Utf16Bytes(kSettingsUtf16, false);
    auto endOf = [&](std::u16string_view line) {
        std::string bytes = Utf16Bytes(line, false).substr(2);
        size_t at = whole.find(bytes);
        return at == std::string::npos ? at : at + bytes.size();
    };
    const size_t levelEnd = endOf(u"\"Level\"=dword:00000005\r\n");
    const size_t portEnd = endOf(u"-if00\"=\"COM3\"\r\n");
    ASSERT_LT(portEnd, whole.size());
    const std::string port =
        "/dev/serial/by-id/usb-\xC3\x9C"
        "bertr\xC3\xA4ger_\xF0\x9D\x84\x9E-if00";
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
        std::ofstream(m_dir / "cut.reg", std::ios::binary | std::ios::trunc) << whole.substr(0, cut);
        int error = -1;
        Registry r = Registry::LoadFile((m_dir / "cut.reg").string(), &error);
        EXPECT_EQ(error, 0);
        auto level = r.ReadDword("SOFTWARE\\Vexlor", "Level");
        auto app = r.ReadString("SOFTWARE\\Vexlor", "App");
        auto ports = r.Values("HARDWARE\\DEVICEMAP\\SERIALCOMM");
        if (cut >= levelEnd) {
            EXPECT_EQ(level, 5u) << cut;
        }
        if (cut >= portEnd) {
            ASSERT_FALSE(ports.empty()) << cut;
        }
        // Whatever was read is whole: a cut value is left out, never read short.
        EXPECT_TRUE(!level || *level == 5u) << cut;
        EXPECT_TRUE(!app || *app ==
                                "/home/t\xC3\xA9"
                                "cnico/logs/")
            << cut;
        if (!ports.empty()) {
            EXPECT_EQ(ports[0].first, port) << cut;
            EXPECT_EQ(ports[0].second.text, "COM3") << cut;
        }
    }
}

TEST(RegistryUtf16, DamagedUnitsSpoilNoMoreThanTheirLine) {
    // Lone surrogates read as U+FFFD, a NUL unit costs its line, a last odd byte is dropped.
    std::u16string text =
        u"[HKEY_LOCAL_MACHINE\\K]\r\n\"a\"=\"x?y\"\r\n\"b\"=\"?\"\r\n\"c\"=\"?\"\r\n\"d\"=\"ok\"\r\n\"e\"=\"?";
    text[text.find(u"x?y") + 1] = 0xD800;
    text[text.find(u"\"b\"=\"?") + 5] = 0xDC00;
    text[text.find(u"\"c\"=\"?") + 5] = 0;
    text[text.find(u"\"e\"=\"?") + 5] = 0xDBFF;  // a high surrogate with nothing after it
    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian);
        Registry r = Registry::Parse(Utf16Bytes(text, bigEndian) + "\x22");
        EXPECT_EQ(r.ReadString("K", "a"), "x\xEF\xBF\xBDy");
        EXPECT_EQ(r.ReadString("K", "b"), "\xEF\xBF\xBD");
        EXPECT_FALSE(r.Read("K", "c").has_value());
        EXPECT_EQ(r.ReadString("K", "d"), "ok");
        EXPECT_FALSE(r.Read("K", "e").has_value());
        EXPECT_EQ(r.Values("K").size(), 3u);
    }
    // Without its mark a UTF-16 text is still read as one (never as an empty file).
    EXPECT_TRUE(Registry::Parse(Utf16Bytes(u"[HKEY_LOCAL_MACHINE\\K]\r\n", false).substr(2)).HasKey("K"));
}

TEST_F(RegistryFileTest, LoadFileSaysWhyNothingWasRead) {
    std::string file = WriteSettings(m_dir / "ok.reg", "ok");
    struct Case {
        std::string path;
        int error;
    };
#ifdef _WIN32
    // Windows has no FIFO by path, and reports a path under a file as one that does not exist.
    const Case cases[] = {
        {file, 0},
        {(m_dir / "absent.reg").string(), ENOENT},
        {m_dir.string(), EISDIR},
        {file + "/registry.reg", ENOENT},
    };
#else
    std::string fifo = (m_dir / "fifo.reg").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const Case cases[] = {
        {file, 0},
        {(m_dir / "absent.reg").string(), ENOENT},
        {m_dir.string(), EISDIR},
        {file + "/registry.reg", ENOTDIR},  // a path under a file
        {fifo, EINVAL},
    };
#endif
    for (const Case& c : cases) {
        int error = -1;
        Registry r = Registry::LoadFile(c.path, &error);
        EXPECT_EQ(error, c.error) << c.path;
        EXPECT_EQ(r.HasKey("SOFTWARE\\Vexlor"), c.error == 0) << c.path;
    }
}

TEST_F(RegistryFileTest, CheckSettingsFileNamesTheFileAndItsError) {
    std::string file = WriteSettings(m_dir / "ok.reg", "ok");
    std::string folder = (m_dir / "folder.reg").string();
    fs::create_directory(folder);
    struct Case {
        std::string chosen;
        std::string path;
        int error;
    };
#ifdef _WIN32  // symbolic links need a privilege there
    const Case cases[] = {
        {file, file, 0},
        {folder, folder, EISDIR},
        {(m_dir / "absent.reg").string(), "", 0},  // no file at all is no error
        {file + "/registry.reg", "", 0},
    };
#else
    std::string loop = (m_dir / "loop.reg").string();
    fs::create_symlink(loop, loop);  // can be neither read nor ruled out
    const Case cases[] = {
        {file, file, 0},
        {folder, folder, EISDIR},
        {loop, loop, ELOOP},
        {(m_dir / "absent.reg").string(), "", 0},  // no file at all is no error
        {file + "/registry.reg", "", 0},
    };
#endif
    for (const Case& c : cases) {
        ScopedEnv reg("VEXLOR_REGISTRY", c.chosen);
        Registry::SettingsCheck check = Registry::CheckSettingsFile();
        EXPECT_EQ(check.path, c.path) << c.chosen;
        EXPECT_EQ(check.error, c.error) << c.chosen;
    }
}

TEST_F(RegistryFileTest, CheckSettingsFileTellsBadLinesPortsGivenTwiceAndWhatIsNoSettingsFile) {
    const std::string path = (m_dir / "settings.reg").string();
    ScopedEnv reg("VEXLOR_REGISTRY", path);
    // In UTF-16 without a mark, so the line numbers are seen to count lines, not bytes.
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\r\n"
        u"\"Level\"=dword:00000005\r\n\"App\"=\"/tmp/logs/\r\n\r\n"  // line 5: a quote missing
        u"[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\r\n"
        u"\"/dev/ttyUSB0\"=\"COM3\"\r\n\"/dev/ttyUSB1\"=\"com3\"\r\n"  // line 9: COM3 again
        u"[HKEY_LOCAL_MACHINE\\Broken\r\n";                            // line 10
    std::ofstream(path, std::ios::binary) << Utf16Bytes(text, false).substr(2);
    Registry::SettingsCheck check = Registry::CheckSettingsFile();
    EXPECT_EQ(check.error, 0);
    EXPECT_EQ(check.notSettings, "");
    ASSERT_EQ(check.problems.size(), 3u);
    EXPECT_EQ(check.problems[0].rfind("line 5 is not read: \"App\"=\"/tmp/logs/", 0), 0u) << check.problems[0];
    EXPECT_EQ(
        check.problems[1],
        "line 9: com3 is given to /dev/ttyUSB1 as well as to /dev/ttyUSB0 (line 8); the port list takes the first");
    EXPECT_EQ(check.problems[2].rfind("line 10 is not read: [HKEY_LOCAL_MACHINE\\Broken", 0), 0u) << check.problems[2];
    EXPECT_EQ(LoadedSettings().ReadDword("SOFTWARE\\Vexlor", "Level"), 5u);  // the good lines are read

    // Random bytes are no settings file at all.
    std::mt19937 random(3);
    std::string bytes(4096, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    check = Registry::CheckSettingsFile();
    EXPECT_EQ(check.error, 0);
    EXPECT_EQ(check.notSettings.rfind("it holds bytes no text has: 0x", 0), 0u) << check.notSettings;
}

}  // namespace
}  // namespace platform
