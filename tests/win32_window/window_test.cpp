// SPDX-License-Identifier: Apache-2.0
// The Win32 window driven as a user drives it, with window messages from the test's thread while
// the dialogs run their modal loops on a thread of their own: the dialogs in the three languages,
// and the main window's wiring (what its presenter decides reaches the controls; clicks, the
// close box and the engine's messages reach the presenter) through a whole download against the
// handset model, Stop and closing, a port another program holds, and a package check that fails. What the presenter
// decides is tested without a window (tests/app_common).
#include <gtest/gtest.h>

// First: the engine's and the handset's headers before <windows.h>, whose macros
// (LoadImage, STILL_ACTIVE) would rewrite their names.
// clang-format off
#include "model_line.h"
#include "app/win32/vexlor_dlg.h"
// clang-format on

#include <commctrl.h>

#include <algorithm>
#include <memory>

#include "app/common/format_text.h"
#include "app/common/language_choice.h"
#include "app/common/pack_advice.h"
#include "app/common/resource_ids.h"
#include "app/common/resource_library.h"
#include "app/win32/data_check_dlg.h"
#include "app/win32/language_dlg.h"
#include "lang/string_ids.h"
#include "languages.h"
#include "log/log.h"
#include "packed_load.h"
#include "platform/program_path.h"
#include "platform/win32/wide_text.h"
#include "platform/window_messages.h"
#include "png_file.h"
#include "settings_file.h"
#include "temp_folder.h"
#include "window_rig.h"

namespace {

std::string Text(const CResourceLibrary& library, unsigned id) { return library.LoadString(id); }
std::string WithModel(const CResourceLibrary& library, unsigned id) {
    return FormatText(library.LoadString(id), lang::kModelCode);
}
std::string WithNumber(const CResourceLibrary& library, unsigned id, int value) {
    return FormatNumber(library.LoadString(id), value);
}

class WindowTest : public ::testing::Test {
protected:
    static constexpr const char* kPort = "COM9";

    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
    }
    void TearDown() override {
        // A test that failed half-way may leave its window open, perhaps with a question.
        if (ui) CloseEverything(ui->Id(), 10000);
        ui.reset();
        LogClose();
    }

    // The settings file in use: the log in the test's folder and, with a handset, the port map
    // naming it (the model line opens whatever the map names).
    void UsePorts(bool withHandset) {
        TestSettings settings;
        settings.logPrefix = folder.File("log-");
        if (withHandset) settings.ports["handset-model"] = kPort;
        ASSERT_TRUE(UseSettings(folder.File("settings.reg"), settings));
        ASSERT_EQ(LogOpen("SOFTWARE\\Vexlor"), 1);
    }

    // A program file with a load of loadSize bytes packed into it.
    std::string PackedProgram(uint32_t loadSize) {
        load = TestLoad(loadSize);
        const std::string packed = folder.File("vexlor-packed");
        EXPECT_EQ(PackLoadIntoProgram(folder.Path(), load, "VX12.01", packed), "");
        return packed;
    }

    // Opens the main window on its own thread; its handle once it shows, after the package check.
    HWND Open(const CResourceLibrary& library, const std::string& program, const std::vector<std::string>& simOptions) {
        Launch(library, program, simOptions);
        return WaitForDialog(ui->Id(), WithModel(library, lang::IDS_TITLE), kOpenMs);
    }
    void Launch(const CResourceLibrary& library, const std::string& program,
                const std::vector<std::string>& simOptions) {
        auto options = std::make_shared<CVexlorDlg::Options>();
        options->programPath = program;
        EXPECT_EQ(ParseSimOptions(simOptions, sim), "");
        auto line = std::make_unique<ModelLine>(sim);
        handset = line.get();
        options->line = std::move(line);
        ui = std::make_unique<UiThread>([&library, options] {
            CVexlorDlg window(library, std::move(*options));
            return window.RunModal(nullptr);
        });
    }

    // Opens the port list as the user does; the window reads the port map afresh.
    static void DropDown(HWND window) {
        const HWND combo = GetDlgItem(window, IDC_CMB_COM);
        SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
        SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
    }

    static bool Running(HWND window) {
        return ItemEnabled(window, IDC_BTN_STOP) && !ItemEnabled(window, IDC_BTN_START) &&
               !ItemEnabled(window, IDC_CMB_COM);
    }
    static bool Idle(HWND window) {
        return !ItemEnabled(window, IDC_BTN_STOP) && ItemEnabled(window, IDC_BTN_START) &&
               ItemEnabled(window, IDC_CMB_COM);
    }
    static std::vector<std::string> Lines(HWND window) { return ListViewLines(GetDlgItem(window, IDC_LIST_STATUS)); }
    static std::string TopLine(HWND window) {
        const auto lines = Lines(window);
        return lines.empty() ? std::string() : lines.front();
    }

    // Starts a download on the handset port; true once the window shows it running and the
    // first percentage has arrived.
    bool StartDownload(HWND window, const CResourceLibrary& library) {
        DropDown(window);
        Click(window, IDC_BTN_START);
        const std::string first = WithNumber(library, lang::IDS_PROGRESS, 0);
        return WaitUntil([&] { return Running(window) && TopLine(window) == first; }, kOpenMs);
    }

    TempFolder folder;
    std::vector<uint8_t> load;
    SimOptions sim;                // the handset's, as it was last switched on
    ModelLine* handset = nullptr;  // owned by the window's operator
    std::unique_ptr<UiThread> ui;
};

TEST(PngFile, ChecksumsAreThoseOfPngAndZlib) {
    const std::string digits = "123456789";
    EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>(digits.data()), digits.size()), 0xCBF43926u);
    const std::string word = "Wikipedia";
    EXPECT_EQ(Adler32(reinterpret_cast<const uint8_t*>(word.data()), word.size()), 0x11E60398u);
}

TEST_F(WindowTest, LanguageDialogOffersThreeLanguagesAndReturnsTheChoice) {
    CLanguageDlg language;
    ui = std::make_unique<UiThread>([&language] { return language.RunModal(nullptr); });
    HWND dialog = WaitForDialog(ui->Id(), "Language Setting", kOpenMs);
    ASSERT_NE(dialog, nullptr);
    const HWND list = GetDlgItem(dialog, IDC_LIST_LANGUAGE);
    EXPECT_EQ(ListBoxEntries(list), (std::vector<std::string>{"English U.S.", "繁體中文", "简体中文"}));
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(ItemText(dialog, IDOK), "OK");
    EXPECT_TRUE(SaveScreenshot(dialog, "language-dialog"));
    SendMessageW(list, LB_SETCURSEL, 2, 0);
    Click(dialog, IDOK);
    ASSERT_TRUE(ui->Join(kOpenMs));
    EXPECT_EQ(ui->Result(), IDOK);
    EXPECT_EQ(language.Position(), LANGUAGE_SIMPLIFIED_CHINESE);

    // Esc (IDCANCEL) ends it as Cancel.
    ui = std::make_unique<UiThread>([&language] { return language.RunModal(nullptr); });
    dialog = WaitForDialog(ui->Id(), "Language Setting", kOpenMs);
    ASSERT_NE(dialog, nullptr);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(ui->Join(kOpenMs));
    EXPECT_EQ(ui->Result(), IDCANCEL);
}

TEST_F(WindowTest, DataCheckShowsEachPercentageAndOnlyTheCheckEndsIt) {
    for (size_t i = 0; i < std::size(kLanguages); ++i) {
        SCOPED_TRACE(kTags[i]);
        const auto library = LoadLanguage(kLanguages[i]);
        CDataCheckDlg check;
        check.SetProgressFormat(Text(*library, lang::IDS_CHECK_PROGRESS));
        HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        const bool passes = i != 1;  // one language sees a failed check
        ui = std::make_unique<UiThread>([&check, release, passes] {
            return check.Run(nullptr, [release, passes](platform::NotifyTarget* target) {
                target->Post(WM_DL_PROGRESS, 0);
                target->Post(WM_DL_PROGRESS, 40);
                WaitForSingleObject(release, 30000);
                return passes;
            });
        });
        const HWND dialog = WaitForDialog(ui->Id(), "Data Checking", kOpenMs);
        ASSERT_NE(dialog, nullptr);
        const std::string forty = WithNumber(*library, lang::IDS_CHECK_PROGRESS, 40);
        EXPECT_TRUE(WaitUntil([&] { return ItemText(dialog, IDC_STATIC_CHECK) == forty; }, 5000))
            << ItemText(dialog, IDC_STATIC_CHECK);
        // Enter and Esc do not end it while the check runs.
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        EXPECT_FALSE(ui->Join(300));
        EXPECT_TRUE(SaveScreenshot(dialog, std::string("data-check-") + kTags[i]));
        SetEvent(release);
        ASSERT_TRUE(ui->Join(kOpenMs));
        EXPECT_EQ(ui->Result(), passes ? CDataCheckDlg::RESULT_PASSED : CDataCheckDlg::RESULT_FAILED);
        CloseHandle(release);
    }
}

TEST_F(WindowTest, MainWindowOpensInEachLanguageWithItsAboutBox) {
    UsePorts(false);
    const std::string program = PackedProgram(3000);
    for (size_t i = 0; i < std::size(kLanguages); ++i) {
        SCOPED_TRACE(kTags[i]);
        const auto library = LoadLanguage(kLanguages[i]);
        const HWND window = Open(*library, program, {});
        ASSERT_NE(window, nullptr);

        // What the presenter said, drawn: the instruction lines, the captions, the no-port item
        // and its control state.
        const auto lines = Lines(window);
        ASSERT_EQ(lines.size(), 13u);
        EXPECT_EQ(lines.front(), WithModel(*library, lang::IDS_INSTRUCTION_1));
        // One column wider than the list, so a long line scrolls rather than being cut.
        EXPECT_EQ(SendMessageW(GetDlgItem(window, IDC_LIST_STATUS), LVM_GETCOLUMNWIDTH, 0, 0), 1500);
        EXPECT_EQ(ItemText(window, IDC_CMB_COM), Text(*library, lang::IDS_NO_PORT));
        EXPECT_EQ(ItemText(window, IDC_BTN_START), Text(*library, lang::IDS_START));
        EXPECT_EQ(ItemText(window, IDC_BTN_STOP), Text(*library, lang::IDS_STOP));
        EXPECT_EQ(ItemText(window, IDC_BTN_BACKUP), Text(*library, lang::IDS_BACKUP));
        EXPECT_TRUE(ItemEnabled(window, IDC_CMB_COM));
        EXPECT_FALSE(ItemEnabled(window, IDC_BTN_START));
        EXPECT_FALSE(ItemEnabled(window, IDC_BTN_STOP));
        // The two spare buttons are never shown.
        EXPECT_FALSE(ItemVisible(window, IDC_BTN_BACKUP));
        EXPECT_FALSE(ItemVisible(window, IDC_BTN_RESTORE));
        EXPECT_TRUE(SaveScreenshot(window, std::string("main-window-") + kTags[i]));

        // The About item at the end of the system menu opens the About box in the same language.
        wchar_t item[256] = {};
        GetMenuStringW(GetSystemMenu(window, FALSE), IDM_ABOUTBOX, item, 256, MF_BYCOMMAND);
        EXPECT_EQ(platform::win32::Narrow(item), WithModel(*library, lang::IDS_ABOUT));
        PostMessageW(window, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        const HWND about = WaitForDialog(ui->Id(), WithModel(*library, lang::IDS_ABOUT), kOpenMs);
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(ItemText(about, IDC_STATIC_VERSION), WithModel(*library, lang::IDS_TITLE));
        EXPECT_EQ(ItemText(about, IDOK), "OK");
        EXPECT_TRUE(SaveScreenshot(about, std::string("about-") + kTags[i]));
        Click(about, IDOK);
        EXPECT_TRUE(WaitUntil([about] { return !IsWindow(about); }, 5000));

        // The close box ends an idle window without a question.
        PostMessageW(window, WM_CLOSE, 0, 0);
        ASSERT_TRUE(ui->Join(kOpenMs));
        EXPECT_EQ(ui->Result(), IDCANCEL);
    }
}

TEST_F(WindowTest, FailedPackageCheckIsToldAndEndsTheWindow) {
    UsePorts(false);
    const auto library = LoadLanguage(LANGUAGE_ENGLISH);
    // A program file without any package.
    ASSERT_TRUE(WriteWholeFile(folder.File("plain.exe"), std::string(4096, 'x')));
    Launch(*library, folder.File("plain.exe"), {});
    // Not damage: the program's own words and the command that packs a load, paths quoted.
    EXPECT_EQ(AnswerMessageBox(ui->Id(), IDOK, kOpenMs),
              Text(*library, lang::IDS_NO_LOAD_YET) + "\n" +
                  FormatText(Text(*library, lang::IDS_NO_LOAD_PACK), PackCommandFor(folder.File("plain.exe"))));
    ASSERT_TRUE(ui->Join(kOpenMs));
    EXPECT_EQ(ui->Result(), CVexlorDlg::RESULT_CHECK_FAILED);
}

TEST_F(WindowTest, ClicksTheCloseBoxAndTheRunsMessagesReachThePresenterAndTheList) {
    UsePorts(true);
    const auto library = LoadLanguage(LANGUAGE_ENGLISH);
    const HWND window = Open(*library, PackedProgram(3 * 0x20000 + 3000), {"--mode", "diag"});
    ASSERT_NE(window, nullptr);
    DropDown(window);
    EXPECT_EQ(ItemText(window, IDC_CMB_COM), Text(*library, lang::IDS_PORT_PREFIX) + "9");
    EXPECT_EQ(TooltipText(window, IDC_CMB_COM), "handset-model");  // the device behind the port
    EXPECT_TRUE(Idle(window));

    // A whole run: newest line on top, from the start line at the bottom to the done line (the
    // lines in between are the presenter's, tested without a window).
    Click(window, IDC_BTN_START);
    EXPECT_TRUE(WaitUntil([&] { return Running(window); }, 5000));
    const std::string done = Text(*library, lang::IDS_DONE);
    ASSERT_TRUE(WaitUntil([&] { return Idle(window) && TopLine(window) == done; }, 60000));
    const auto lines = Lines(window);
    ASSERT_EQ(lines.size(), 2u + 3u + 3u + 1u);  // one line for each of three full blocks, the ESN's under done
    const std::string esn = Text(*library, lang::IDS_ESN_LINE);
    EXPECT_EQ(lines[1].rfind(esn.substr(0, esn.find('%')) + "9F", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2], WithNumber(*library, lang::IDS_PROGRESS, 100));
    EXPECT_EQ(lines.back(), Text(*library, lang::IDS_STARTED));
    std::string why;
    EXPECT_TRUE(ImageMatchesLoad(handset->Image(), load, &why)) << why;
    EXPECT_TRUE(SaveScreenshot(window, "main-window-after-download-eng"));

    // On a paced line (about 1.3 s a block) the run is still in its blocks when the answers
    // come. The Stop button asks; Yes stops the run.
    ASSERT_EQ(ParseSimOptions({"--mode", "diag", "--throttle", "1000000"}, sim), "");
    handset->PowerCycle(sim);
    ASSERT_TRUE(StartDownload(window, *library));
    Click(window, IDC_BTN_STOP);
    EXPECT_EQ(AnswerMessageBox(ui->Id(), IDYES, kOpenMs), Text(*library, lang::IDS_STOP_QUESTION));
    EXPECT_TRUE(WaitUntil([&] { return Idle(window); }, 30000));
    EXPECT_EQ(Lines(window).front(), Text(*library, lang::IDS_STOPPED));

    // The close box during a run asks too, and Yes stops the run before the window ends.
    handset->PowerCycle(sim);  // left in download mode: switched off and on
    ASSERT_TRUE(StartDownload(window, *library));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(AnswerMessageBox(ui->Id(), IDYES, kOpenMs), Text(*library, lang::IDS_CLOSE_QUESTION));
    ASSERT_TRUE(ui->Join(30000));
    EXPECT_EQ(ui->Result(), IDCANCEL);
    // Both were stopped on their way (the window, its operator and the line are gone now).
    const std::string log = ReadLogFolder(folder.Path());
    EXPECT_EQ(CountOccurrences(log, "Use call to stop download thread."), 2);
    EXPECT_EQ(CountOccurrences(log, "Current status code is 65"), 1);
}

// A command interpreter that keeps a file open until its input ends: another program holding
// the file (its inherited handle). Null when it could not be started.
struct FileHolder {
    HANDLE process = nullptr;
    HANDLE input = nullptr;  // closing it ends the program

    bool Start(const std::wstring& path) {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        const HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
        HANDLE read = nullptr;
        const bool piped =
            CreatePipe(&read, &input, &inherit, 0) && SetHandleInformation(input, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = read;
        startup.hStdOutput = startup.hStdError = nul;
        PROCESS_INFORMATION started{};
        std::wstring command = L"cmd.exe /q";
        const bool ok = file != INVALID_HANDLE_VALUE && nul != INVALID_HANDLE_VALUE && piped &&
                        CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                       nullptr, &startup, &started);
        for (const HANDLE handle : {file, nul, read}) {
            if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        }
        if (!ok) return false;
        CloseHandle(started.hThread);
        process = started.hProcess;
        return true;
    }
    ~FileHolder() {
        if (input) CloseHandle(input);
        if (process && WaitForSingleObject(process, 10000) != WAIT_OBJECT_0) TerminateProcess(process, 1);
        if (process) CloseHandle(process);
    }
};

// A port another program holds while the window starts a download: the line that names it
// comes at once, above the start line, as in the Qt window, and the run waits. Windows does not
// say which program holds a port, and Wine lets a COM port be opened twice: here the port is a
// file in the prefix's dosdevices folder (where Wine finds COM57), which another program keeps
// open, so that the window's opening meets it as a port in use.
TEST_F(WindowTest, APortAnotherProgramHoldsIsToldWhileTheDownloadWaitsForIt) {
    char prefix[MAX_PATH] = {};
    if (GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix) == 0) GTEST_SKIP() << "not under Wine";
    std::string port = std::string("Z:") + prefix + "/dosdevices/com57";
    std::replace(port.begin(), port.end(), '/', '\\');
    const std::wstring portFile = platform::win32::Widen(port);
    {
        FileHolder holder;
        ASSERT_TRUE(holder.Start(portFile)) << port;
        TestSettings settings;
        settings.logPrefix = folder.File("log-");
        settings.ports["\\Device\\VexlorHeld"] = "COM57";
        ASSERT_TRUE(UseSettings(folder.File("settings.reg"), settings));
        ASSERT_EQ(LogOpen("SOFTWARE\\Vexlor"), 1);
        const auto library = LoadLanguage(LANGUAGE_ENGLISH);
        auto options = std::make_shared<CVexlorDlg::Options>();
        options->programPath = PackedProgram(0x8000);  // and the system's serial line
        ui = std::make_unique<UiThread>([&language = *library, options] {
            CVexlorDlg window(language, std::move(*options));
            return window.RunModal(nullptr);
        });
        const HWND window = WaitForDialog(ui->Id(), WithModel(*library, lang::IDS_TITLE), kOpenMs);
        ASSERT_NE(window, nullptr);
        DropDown(window);
        ASSERT_EQ(ItemText(window, IDC_CMB_COM), Text(*library, lang::IDS_PORT_PREFIX) + "57");
        Click(window, IDC_BTN_START);
        const std::string busy = FormatText(Text(*library, lang::IDS_PORT_BUSY_WAITING_UNKNOWN), "COM57");
        const bool told = WaitUntil(
            [&] {
                const auto lines = Lines(window);
                return std::find(lines.begin(), lines.end(), busy) != lines.end();
            },
            30000);
        const auto lines = Lines(window);
        EXPECT_TRUE(told) << (lines.empty() ? std::string() : lines.front());
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines.back(), Text(*library, lang::IDS_STARTED));
        EXPECT_EQ(lines[lines.size() - 2], busy);
        CloseEverything(ui->Id(), 30000);
        EXPECT_TRUE(ui->Join(30000));
    }
    DeleteFileW(portFile.c_str());
}

}  // namespace

namespace {

// Another copy (the one beside the test program, with its libraries) of a window program
// ends at once, while the first asks for the language; then that first, in a folder without the
// language libraries, names the missing one in an error box and ends.
TEST_F(WindowTest, ProgramAsksForTheLanguageOnceAtATimeAndNamesAMissingLibrary) {
    UsePorts(false);
    const std::string program = folder.File("vexlor.exe");
    ASSERT_TRUE(CopyFileW(platform::win32::Widen(platform::ProgramFolder() + "vexlor.exe").c_str(),
                          platform::win32::Widen(program).c_str(), FALSE));
    const HANDLE first = StartProgram(program);
    ASSERT_NE(first, nullptr);
    HWND language = nullptr;
    // Visible: it has filled its list.
    ASSERT_TRUE(WaitUntil(
        [&] {
            language = FindWindowW(L"#32770", L"Language Setting");
            return language && IsWindowVisible(language);
        },
        kOpenMs));

    const HANDLE second = StartProgram(platform::ProgramFolder() + "vexlor.exe");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(WaitForSingleObject(second, kOpenMs), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCodeOf(second), 0u);
    EXPECT_EQ(WaitForSingleObject(first, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(second);

    SendMessageW(GetDlgItem(language, IDC_LIST_LANGUAGE), LB_SETCURSEL, LANGUAGE_TRADITIONAL_CHINESE, 0);
    Click(language, IDOK);
    HWND error = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            error = FindWindowW(L"#32770", L"Error");
            return error && IsWindowVisible(error);
        },
        kOpenMs));
    // The full path in the program's folder, with the separators Windows gives.
    std::string expected = folder.File("VexlorChtRes.dll");
    for (char& c : expected) c = c == '/' ? '\\' : c;
    EXPECT_EQ(ItemText(error, 0xFFFF), "Couldn't load file with path: " + expected + ".");
    Click(error, IDOK);
    EXPECT_EQ(WaitForSingleObject(first, kOpenMs), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCodeOf(first), 0u);
    CloseHandle(first);
}

}  // namespace
