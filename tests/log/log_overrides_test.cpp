// SPDX-License-Identifier: Apache-2.0
// A level or folder given for one run over the settings file's, seen through the files written.
#include "log/log_overrides.h"

#include <cerrno>

#include "log/log_settings.h"
#include "log_test_support.h"
#include "platform/local_time.h"

namespace logtest {
namespace {

namespace fs = std::filesystem;

class LogOverridesTest : public LogTest {
protected:
    // The .log files under folder, by name.
    static std::vector<std::string> LogNamesIn(const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().extension() == ".log") names.push_back(entry.path().filename().string());
        }
        return names;
    }
    static std::string Dated(const std::string& prefix) { return *diaglog::LogFileName(prefix, platform::Now()); }
};

TEST_F(LogOverridesTest, GivenLevelReplacesTheSettingsLevel) {
    for (int32_t settingsLevel : {1, -1}) {  // a log the settings switch off is switched on as well
        SCOPED_TRACE(settingsLevel);
        WriteSettings(settingsLevel, 0);
        ASSERT_EQ(LogOpenWith(kKey, LogOverrides{5, std::nullopt}), 1);
        EXPECT_EQ(LogWrite(LOG_DBG, "traced"), 1);
        LogClose();
        EXPECT_EQ(BodyLines(), std::vector<std::string>{"<DBG>\t<time>\ttraced"});
    }
    WriteSettings(5, 0);
    ASSERT_EQ(LogOpenWith(kKey, LogOverrides{1, std::nullopt}), 1);
    EXPECT_EQ(LogWrite(LOG_WRN, "filtered"), 0);
    EXPECT_EQ(LogWrite(LOG_ER, "failed"), 1);
}

TEST_F(LogOverridesTest, GivenLevelMinusOneSwitchesTheLogOff) {
    WriteSettings(5, 1);
    EXPECT_EQ(LogOpenWith(kKey, LogOverrides{-1, m_dir.string()}), 1);
    EXPECT_FALSE(LogEnabled(LOG_NML));
    EXPECT_TRUE(LogFiles().empty());
}

TEST_F(LogOverridesTest, GivenLevelSwitchesTheLogOnWithoutTheKey) {
    // No settings file: the file starts empty and is named by the date alone.
    fs::create_directory(m_dir / "logs");
    std::ofstream(m_dir / "logs" / Dated("")) << "an earlier run\r\n";
    ASSERT_EQ(LogOpenWith(kKey, LogOverrides{3, (m_dir / "logs").string()}), 1);
    EXPECT_EQ(LogWrite(LOG_WRN, "noted"), 1);
    EXPECT_EQ(LogWrite(LOG_DBG, "filtered"), 0);
    LogClose();
    EXPECT_EQ(LogNamesIn(m_dir / "logs"), std::vector<std::string>{Dated("")});
    std::string text = ReadWhole(m_dir / "logs" / Dated(""));
    EXPECT_EQ(text.find("an earlier run"), std::string::npos);
    EXPECT_NE(text.find("noted"), std::string::npos);

    // A folder alone switches it on too, at the default level.
    fs::create_directory(m_dir / "other");
    ASSERT_EQ(LogOpenWith(kKey, LogOverrides{std::nullopt, (m_dir / "other").string()}), 1);
    EXPECT_EQ(LogWrite(LOG_ER, "failed"), 1);
    EXPECT_EQ(LogWrite(LOG_WRN, "filtered"), 0);
    LogClose();
    EXPECT_EQ(LogNamesIn(m_dir / "other"), std::vector<std::string>{Dated("")});
}

TEST_F(LogOverridesTest, ALogThatCannotBeOpenedSaysWhereAndWhy) {
    LogOpenFailure failure;
    const std::string missing = (m_dir / "missing").string();
    EXPECT_EQ(LogOpenWith(kKey, LogOverrides{std::nullopt, missing}, &failure), LOGERR_OPEN_FILE);
    EXPECT_EQ(failure.path, missing + "/" + Dated(""));
    EXPECT_EQ(failure.error, ENOENT);
    // A folder in the day's file's place.
    fs::create_directories(m_dir / "taken" / Dated(""));
    EXPECT_EQ(LogOpenWith(kKey, LogOverrides{std::nullopt, (m_dir / "taken").string()}, &failure), LOGERR_OPEN_FILE);
    EXPECT_EQ(failure.error, EISDIR);
}

TEST_F(LogOverridesTest, GivenFolderReplacesTheFolderPartOfApp) {
    fs::create_directory(m_dir / "given");
    const std::string given = (m_dir / "given").string();
    struct Case {
        std::string app;
        std::string folder;
        std::string file;  // expected in the given folder
    };
    const std::vector<Case> cases = {
        {(m_dir / "set/pre_").string(), given, Dated("pre_")},  // prefix kept, '/' added
        {(m_dir / "set/").string(), given + "/", Dated("")},    // folder only
        {"pre_", given, Dated("pre_")},                         // prefix only
        {"", given, Dated("")},                                 // no App at all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.app);
        WriteSettings("\"Level\"=dword:00000001\r\n\"App\"=\"" + c.app + "\"\r\n");
        ASSERT_EQ(LogOpenWith(kKey, LogOverrides{std::nullopt, c.folder}), 1);
        LogClose();
        EXPECT_EQ(LogNamesIn(m_dir / "given"), std::vector<std::string>{c.file});
        fs::remove(m_dir / "given" / c.file);
    }
    // An empty folder is the current one.
    auto cwd = fs::current_path();
    fs::current_path(m_dir / "given");
    WriteSettings("\"Level\"=dword:00000001\r\n\"App\"=\"/nowhere/pre_\"\r\n");
    int32_t opened = LogOpenWith(kKey, LogOverrides{std::nullopt, std::string()});
    LogClose();
    fs::current_path(cwd);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(LogNamesIn(m_dir / "given"), std::vector<std::string>{Dated("pre_")});
}

TEST_F(LogOverridesTest, NameThatNoLongerFitsIsRefused) {
    // The file name is the folder, '/', "p" and "YYYYMMDD.log": 87 characters before the date fit.
    WriteSettings("\"Level\"=dword:00000001\r\n\"App\"=\"/elsewhere/p\"\r\n");
    std::string folder = (m_dir / "f").string();
    folder += std::string(85 - folder.size(), 'f');
    fs::create_directory(folder);
    ASSERT_EQ(LogOpenWith(kKey, LogOverrides{std::nullopt, folder}), 1);
    LogClose();
    EXPECT_EQ(LogNamesIn(folder).size(), 1u);

    fs::create_directory(folder + "g");
    EXPECT_EQ(LogOpenWith(kKey, LogOverrides{std::nullopt, folder + "g"}), LOGERR_OPEN_FILE);
    EXPECT_FALSE(LogEnabled(LOG_NML));
    EXPECT_TRUE(LogNamesIn(folder + "g").empty());
}

}  // namespace
}  // namespace logtest
