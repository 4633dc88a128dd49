// Finding and reading the settings file: the search order and files that are not settings files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>

#include "platform/registry.h"

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
            setenv(name, value->c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (m_old) {
            setenv(m_name, m_old->c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

class RegistryFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vexlor-regtest-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
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
    static std::optional<std::string> LoadedMarker() {
        return Registry::Load().ReadString("SOFTWARE\\Vexlor", "App");
    }
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
        EXPECT_FALSE(Registry::Load().HasKey("SOFTWARE\\Vexlor"));
    }
    {
        // Empty counts as not set.
        ScopedEnv reg("VEXLOR_REGISTRY", std::string());
        EXPECT_EQ(LoadedMarker(), "user");
    }
}

TEST_F(RegistryFileTest, UserConfigFolderThenHome) {
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
    EXPECT_FALSE(Registry::LoadFile("/dev/zero").HasKey(""));      // endless device
    std::string fifo = (m_dir / "fifo.reg").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(Registry::LoadFile(fifo).HasKey(""));  // must not wait for a writer
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

}  // namespace
}  // namespace platform
