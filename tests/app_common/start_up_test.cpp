// SPDX-License-Identifier: Apache-2.0
// The window program's start-up without a toolkit: one instance at a time, the language asked
// at every start, its library from the program's folder (or the "Error" box naming its full
// path), then the main window, with the single-instance mutex held until that has closed.
#include "app/common/start_up.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/common/instance_mutex.h"
#include "app/common/language_choice.h"
#include "app/common/resource_ids.h"
#include "app/common/resource_library.h"
#include "lang/string_ids.h"
#include "log/log.h"
#include "platform/program_path.h"
#include "settings_file.h"
#include "temp_folder.h"

namespace {

// The dialogs as a user answers them; remembers what was shown.
class ScriptedStartUp : public StartUpView {
public:
    int ChooseLanguage(int& chosen) override {
        ++asked;
        chosen = position;
        return result;
    }
    void ShowError(const std::string& caption, const std::string& text) override {
        errors.push_back(caption + "|" + text);
    }
    void RunMainWindow(const CResourceLibrary& library) override {
        ++windows;
        startCaption = library.LoadString(lang::IDS_START);
        mutexHeld = CInstanceMutex().Create("Vexlor") == 0;
    }
    void RunBenchWindow(const CResourceLibrary& library) override {
        ++benches;
        startCaption = library.LoadString(lang::IDS_START);
    }

    int position = LANGUAGE_ENGLISH;
    int result = IDOK;
    int asked = 0;
    int windows = 0;
    int benches = 0;
    std::vector<std::string> errors;
    std::string startCaption;
    bool mutexHeld = false;
};

class StartUpTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        // The single-instance lock in our own runtime folder (Windows names the mutex itself).
        setenv("XDG_RUNTIME_DIR", folder.Path().c_str(), 1);
#endif
        TestSettings settings;
        settings.logPrefix = folder.File("log-");
        ASSERT_TRUE(UseSettings(folder.File("settings.reg"), settings));
    }
    void TearDown() override { LogClose(); }

    TempFolder folder;
};

TEST_F(StartUpTest, ChosenLanguageLoadsFromTheProgramFolderAndRunsTheWindowHoldingTheMutex) {
    for (int position : {LANGUAGE_ENGLISH, LANGUAGE_TRADITIONAL_CHINESE, LANGUAGE_SIMPLIFIED_CHINESE}) {
        ScriptedStartUp view;
        view.position = position;
        CResourceLibrary library;
        RunStartUp(view, library, "");
        EXPECT_EQ(view.asked, 1);
        EXPECT_EQ(view.windows, 1);
        EXPECT_TRUE(view.errors.empty());
        EXPECT_TRUE(view.mutexHeld);
        CResourceLibrary expected;
        ASSERT_TRUE(expected.Load(LanguageLibraryPath(platform::ProgramFolder(), position)));
        EXPECT_EQ(view.startCaption, expected.LoadString(lang::IDS_START));
        // Released once the window has closed.
        CInstanceMutex after;
        EXPECT_EQ(after.Create("Vexlor"), 1);
    }
    EXPECT_NE(ReadLogFolder(folder.Path()), "");  // the start-up opened the log
}

TEST_F(StartUpTest, MissingLibraryShowsTheErrorBoxWithItsFullPathAndEnds) {
    for (int position : {LANGUAGE_ENGLISH, LANGUAGE_TRADITIONAL_CHINESE, LANGUAGE_SIMPLIFIED_CHINESE}) {
        ScriptedStartUp view;
        view.position = position;
        CResourceLibrary library;
        RunStartUp(view, library, folder.Path() + "/");
        const std::string path = folder.File(LanguageLibraryFile(position));
        EXPECT_EQ(view.errors, std::vector<std::string>{"Error|Couldn't load file with path: " + path + "."});
        EXPECT_EQ(view.windows, 0);
        EXPECT_FALSE(library.IsLoaded());
    }
    // A file of that name that is no library fails the same way.
    ASSERT_TRUE(WriteWholeFile(folder.File(LanguageLibraryFile(LANGUAGE_TRADITIONAL_CHINESE)), "not a library"));
    ScriptedStartUp view;
    view.position = LANGUAGE_TRADITIONAL_CHINESE;
    CResourceLibrary library;
    RunStartUp(view, library, folder.Path() + "/");
    ASSERT_EQ(view.errors.size(), 1u);
    EXPECT_EQ(view.errors[0], "Error|Couldn't load file with path: " +
                                  folder.File(LanguageLibraryFile(LANGUAGE_TRADITIONAL_CHINESE)) + ".");
    EXPECT_EQ(view.windows, 0);
}

TEST_F(StartUpTest, CancelledLanguageDialogOrASecondInstanceEndsBeforeAnyWindow) {
    for (int result : {IDCANCEL, -1}) {  // cancelled, or the dialog could not be shown
        ScriptedStartUp view;
        view.result = result;
        CResourceLibrary library;
        RunStartUp(view, library, "");
        EXPECT_EQ(view.asked, 1);
        EXPECT_EQ(view.windows, 0);
        EXPECT_TRUE(view.errors.empty());
        EXPECT_FALSE(library.IsLoaded());
    }
    // While another instance holds the mutex: not even the language is asked, nothing is said.
    CInstanceMutex first;
    ASSERT_EQ(first.Create("Vexlor"), 1);
    ScriptedStartUp view;
    CResourceLibrary library;
    RunStartUp(view, library, "");
    EXPECT_EQ(view.asked + view.windows, 0);
    EXPECT_TRUE(view.errors.empty());
}

TEST_F(StartUpTest, BenchWindowOpensAfterTheLanguageEvenWhileAnotherInstanceRuns) {
    // Its ports are guarded one by one: the main window's single-instance mutex does not hold it.
    CInstanceMutex first;
    ASSERT_EQ(first.Create("Vexlor"), 1);
    ScriptedStartUp view;
    view.position = LANGUAGE_SIMPLIFIED_CHINESE;
    CResourceLibrary library;
    RunStartUp(view, library, "", StartWindow::kBench);
    EXPECT_EQ(view.asked, 1);
    EXPECT_EQ(view.benches, 1);
    EXPECT_EQ(view.windows, 0);
    CResourceLibrary expected;
    ASSERT_TRUE(expected.Load(LanguageLibraryPath(platform::ProgramFolder(), LANGUAGE_SIMPLIFIED_CHINESE)));
    EXPECT_EQ(view.startCaption, expected.LoadString(lang::IDS_START));
}

}  // namespace
