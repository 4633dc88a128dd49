// SPDX-License-Identifier: Apache-2.0
// The Win32 bench window driven as a user drives it, with window messages from the test's thread
// while the window runs its modal loop on a thread of its own: two handsets flashed at once until
// both rows show done (their counts, the totals, the detail pane, the report's rows); in each
// language a picture mid-run, a port another run holds, Stop and the close box asking first; and
// the real program opened with --bench. What the presenter decides is tested without a window
// (tests/runs). The handsets are models on in-process lines; with VEXLOR_BENCH_ON_COM_PORTS set
// (tests/wine/bench.sh) they are simulators behind the Wine COM ports COM23 and COM24 instead.
#include <gtest/gtest.h>

// First: the engine's and the handset's headers before <windows.h> (see window_test.cpp).
// clang-format off
#include "model_line.h"
#include "shared_line.h"
#include "app/win32/bench_dlg.h"
// clang-format on

#include <commctrl.h>

#include <cstdlib>
#include <map>
#include <memory>

#include "app/common/format_text.h"
#include "app/common/resource_ids.h"
#include "app/common/resource_library.h"
#include "app/common/text_columns.h"
#include "app/runs/port_claim.h"
#include "lang/string_ids.h"
#include "languages.h"
#include "log/log.h"
#include "packed_load.h"
#include "platform/program_path.h"
#include "platform/win32/wide_text.h"
#include "settings_file.h"
#include "temp_folder.h"
#include "window_rig.h"

namespace {

constexpr int kRunMs = 120000;

class BenchWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        // The port map: the models' made-up devices, or the Wine COM ports' (their links in the
        // prefix lead to the simulators' terminals).
        onComPorts = std::getenv("VEXLOR_BENCH_ON_COM_PORTS") != nullptr;
        ports = onComPorts ? std::vector<std::string>{"COM23", "COM24"} : std::vector<std::string>{"COM9", "COM10"};
        TestSettings settings;
        settings.logPrefix = folder.File("log-");
        for (size_t i = 0; i < ports.size(); ++i) {
            devices.push_back(onComPorts ? "\\Device\\VexlorBench" + std::to_string(i) : "handset-model-" + ports[i]);
            settings.ports[devices.back()] = ports[i];
        }
        ASSERT_TRUE(UseSettings(folder.File("settings.reg"), settings));
        ASSERT_EQ(LogOpen("SOFTWARE\\Vexlor"), 1);
        ASSERT_EQ(
            PackLoadIntoProgram(folder.Path(), TestLoad(3 * 0x20000 + 3000), "VX12.01", folder.File("vexlor-packed")),
            "");
    }
    void TearDown() override {
        // A test that failed half-way may leave its window open, perhaps with a question.
        if (ui) CloseEverything(ui->Id(), 10000);
        ui.reset();
        LogClose();
    }

    // Opens the bench window on its own thread, with a handset model on each port that answers
    // as simOptions say (on COM ports the simulators answer as their script started them); its
    // handle once it shows, after the package check.
    HWND Open(const CResourceLibrary& library, const std::vector<std::string>& simOptions) {
        auto options = std::make_shared<BenchWindowOptions>();
        options->programPath = folder.File("vexlor-packed");
        if (!onComPorts) {
            EXPECT_EQ(ParseSimOptions(simOptions, sim), "");
            handsets.clear();
            for (const std::string& port : ports) handsets[port] = std::make_shared<ModelLine>(sim);
            options->lineFor = [handsets = handsets](const std::string& port) -> std::unique_ptr<platform::SerialLine> {
                return std::make_unique<SharedLine>(handsets.at(port));
            };
        }
        ui = std::make_unique<UiThread>([&library, options] {
            CBenchDlg window(library, std::move(*options));
            return window.RunModal(nullptr);
        });
        return WaitForDialog(ui->Id(), FormatText(library.LoadString(lang::IDS_BENCH_TITLE), lang::kModelCode),
                             kOpenMs);
    }

    static HWND Table(HWND window) { return GetDlgItem(window, IDC_LIST_BENCH); }
    static std::string Cell(HWND window, int row, int column) { return ListViewCell(Table(window), row, column); }
    static bool Running(HWND window) {
        return ItemEnabled(window, IDC_BTN_BENCH_STOP) && !ItemEnabled(window, IDC_BTN_BENCH_START);
    }
    // True when every given row is being flashed and (when moved) its bar has moved.
    static bool Flashing(HWND window, const CResourceLibrary& library, std::initializer_list<int> rows,
                         bool moved = true) {
        for (const int row : rows) {
            const std::string percent = Cell(window, row, CBenchTable::kProgress);
            if (Cell(window, row, CBenchTable::kState) != library.LoadString(lang::IDS_BENCH_FLASHING) ||
                (moved && (percent.empty() || percent == "0%"))) {
                return false;
            }
        }
        return true;
    }
    static void SelectRow(HWND window, int row) {
        LVITEMW selected{};
        selected.stateMask = selected.state = LVIS_SELECTED;
        SendMessageW(Table(window), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&selected));
    }
    // Types path into the report box and presses Enter, as the user does.
    static void TypeReport(HWND window, const std::string& path) {
        const HWND edit = GetDlgItem(window, IDC_EDIT_REPORT);
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(platform::win32::Widen(path).c_str()));
        SendMessageW(edit, EM_SETMODIFY, TRUE, 0);
        PostMessageW(window, WM_COMMAND, IDOK, 0);
    }
    // The handsets switched off and on (after a stopped download they are left in download mode).
    void PowerCycle() {
        for (auto& [port, handset] : handsets) handset->PowerCycle(sim);
    }

    TempFolder folder;
    bool onComPorts = false;
    std::vector<std::string> ports, devices;
    SimOptions sim;
    std::map<std::string, std::shared_ptr<ModelLine>> handsets;
    std::unique_ptr<UiThread> ui;
};

TEST_F(BenchWindowTest, TwoHandsetsAtOnceEndDoneAndTheRowsTheTotalsAndTheReportShowIt) {
    const auto library = LoadLanguage(LANGUAGE_ENGLISH);
    const auto text = [&library](unsigned id) { return library->LoadString(id); };
    // About 1.3 s a block on the models' lines: the picture is taken mid-run.
    const HWND window = Open(*library, {"--mode", "diag", "--throttle", "1000000"});
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(SendMessageW(Table(window), LVM_GETITEMCOUNT, 0, 0), 2);
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(Cell(window, row, CBenchTable::kPort), ports[row]);
        EXPECT_EQ(Cell(window, row, CBenchTable::kDevice), devices[row]);
        EXPECT_EQ(Cell(window, row, CBenchTable::kState), text(lang::IDS_BENCH_IDLE));
    }

    const std::string report = folder.File("report.csv");
    TypeReport(window, report);
    // The tiles cover the table until the Table box shows it.
    const HWND tiles = FindWindowExW(window, nullptr, L"VexlorBenchTiles", nullptr);
    ASSERT_NE(tiles, nullptr);
    EXPECT_TRUE(IsWindowVisible(tiles));
    EXPECT_FALSE(IsWindowVisible(Table(window)));
    SendMessageW(GetDlgItem(window, IDC_CHK_TABLE), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindowVisible(tiles));
    EXPECT_TRUE(IsWindowVisible(Table(window)));
    SendMessageW(GetDlgItem(window, IDC_CHK_TABLE), BM_CLICK, 0, 0);
    EXPECT_TRUE(IsWindowVisible(tiles));
    // "Check all", then Space (the focus on a check box Space would otherwise toggle) starts.
    SendMessageW(GetDlgItem(window, IDC_BTN_CHECK_ALL), BM_CLICK, 0, 0);
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(SendMessageW(Table(window), LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(2));
    }
    const HWND station = GetDlgItem(window, IDC_CHK_STATION);
    PostMessageW(station, WM_KEYDOWN, VK_SPACE, 0);
    PostMessageW(station, WM_KEYUP, VK_SPACE, 0xC0000001);
    ASSERT_TRUE(WaitUntil([&] { return Running(window); }, kOpenMs));
    EXPECT_EQ(SendMessageW(station, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    ASSERT_TRUE(WaitUntil(
        [&] {
            return Flashing(window, *library, {0, 1});
        },
        kRunMs))
        << Cell(window, 0, CBenchTable::kResult) << " / " << Cell(window, 1, CBenchTable::kResult);
    EXPECT_FALSE(ItemEnabled(window, IDC_BTN_REPORT));
    // The rows' check boxes hold while the bench runs.
    SetListViewCheck(Table(window), 1, false);
    EXPECT_EQ(SendMessageW(Table(window), LVM_GETITEMSTATE, 1, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(2));
    EXPECT_TRUE(SaveScreenshot(window, onComPorts ? "bench-window-com-ports" : "bench-window-two-ports"));

    const std::string done = text(lang::IDS_BENCH_DONE);
    ASSERT_TRUE(WaitUntil(
        [&] {
            return !Running(window) && Cell(window, 0, CBenchTable::kState) == done &&
                   Cell(window, 1, CBenchTable::kState) == done;
        },
        kRunMs))
        << Cell(window, 0, CBenchTable::kResult) << " / " << Cell(window, 1, CBenchTable::kResult);
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(Cell(window, row, CBenchTable::kDone), "1");
        EXPECT_EQ(Cell(window, row, CBenchTable::kFailed), "0");
        EXPECT_EQ(Cell(window, row, CBenchTable::kResult), text(lang::IDS_DONE));
    }
    // Two done, none failed; the handsets per hour depend on the machine's speed.
    const std::string totals = FormatTexts(text(lang::IDS_BENCH_TOTALS), {"2", "0", ""});
    EXPECT_EQ(ItemText(window, IDC_STATIC_TOTALS).substr(0, totals.size()), totals);
    // Selecting a row shows its result in full below the table.
    SelectRow(window, 1);
    EXPECT_EQ(ItemText(window, IDC_EDIT_DETAIL), text(lang::IDS_DONE));

    // A report row per handset, each with the done status.
    EXPECT_EQ(CountOccurrences(ReadWholeFile(report), ",0x065,"), 2) << ReadWholeFile(report);

    // Idle, the close box ends the window without a question.
    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(ui->Join(kOpenMs));
    EXPECT_EQ(ui->Result(), IDCANCEL);
}

TEST_F(BenchWindowTest, InEachLanguageItsTextsAHeldPortNamedAndStopAndTheCloseBoxAskFirst) {
    for (size_t i = 0; i < std::size(kLanguages); ++i) {
        SCOPED_TRACE(kTags[i]);
        const auto library = LoadLanguage(kLanguages[i]);
        const auto text = [&library](unsigned id) { return library->LoadString(id); };
        // About 2.6 s a block: Stop comes while the blocks are written.
        const HWND window = Open(*library, {"--mode", "diag", "--throttle", "500000"});
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(ItemText(window, IDC_BTN_BENCH_STOP), text(lang::IDS_STOP));

        SetListViewCheck(Table(window), 0, true);
        SetListViewCheck(Table(window), 1, true);
        // The second port is held by another run (its guard taken here): told by name, and the
        // first goes on.
        PortClaim other(ports[1]);
        ASSERT_TRUE(other.Resolve());
        ASSERT_EQ(other.Guard(), PortClaim::Outcome::kClaimed);
        Click(window, IDC_BTN_BENCH_START);
        const std::string refusal = AnswerMessageBox(ui->Id(), IDOK, kOpenMs);
        EXPECT_NE(refusal.find(ports[1]), std::string::npos) << refusal;
        ASSERT_TRUE(WaitUntil([&] { return Flashing(window, *library, {0}); }, kRunMs));
        EXPECT_EQ(Cell(window, 1, CBenchTable::kState), text(lang::IDS_BENCH_HELD));
        EXPECT_EQ(Cell(window, 1, CBenchTable::kResult), refusal);
        // Longer than its cell: in full below the table once its row is selected.
        SelectRow(window, 1);
        EXPECT_EQ(ItemText(window, IDC_EDIT_DETAIL), refusal);
        EXPECT_TRUE(SaveScreenshot(window, std::string("bench-window-") + kTags[i]));

        // Stop asks; No changes nothing, Yes stops the run.
        Click(window, IDC_BTN_BENCH_STOP);
        EXPECT_EQ(AnswerMessageBox(ui->Id(), IDNO, kOpenMs), text(lang::IDS_STOP_QUESTION));
        EXPECT_TRUE(Running(window));
        Click(window, IDC_BTN_BENCH_STOP);
        EXPECT_EQ(AnswerMessageBox(ui->Id(), IDYES, kOpenMs), text(lang::IDS_STOP_QUESTION));
        EXPECT_TRUE(WaitUntil([&] { return !Running(window); }, kRunMs));
        // The handset stopped in flight: shown as stopped, with what to do, and counted.
        EXPECT_EQ(Cell(window, 0, CBenchTable::kState), ListWord(text(lang::IDS_RESULT_WORDS), 4));
        EXPECT_EQ(Cell(window, 0, CBenchTable::kResult),
                  JoinSentences(text(lang::IDS_STOPPED), text(lang::IDS_STOPPED_ADVICE)));
        EXPECT_EQ(Cell(window, 0, CBenchTable::kFailed), "1");

        // The close box during a run asks too, and Yes stops the run before the window ends.
        PowerCycle();
        SetListViewCheck(Table(window), 1, false);
        Click(window, IDC_BTN_BENCH_START);
        ASSERT_TRUE(WaitUntil([&] { return Flashing(window, *library, {0}, false); }, kRunMs));
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(AnswerMessageBox(ui->Id(), IDYES, kOpenMs), text(lang::IDS_CLOSE_QUESTION));
        ASSERT_TRUE(ui->Join(kRunMs));
        EXPECT_EQ(ui->Result(), IDCANCEL);
    }
}

// vexlor.exe --bench (the program beside the test, which carries no load) while a main window
// holds the single-instance mutex: it asks for the language all the same, checks its package and,
// the check failing, says so and ends; the main window's copy goes on meanwhile.
TEST_F(BenchWindowTest, ProgramOpensTheBenchBesideAMainWindowBehindItsPackageCheck) {
    const std::string program = platform::ProgramFolder() + "vexlor.exe";
    const HANDLE main = StartProgram(program);
    ASSERT_NE(main, nullptr);
    const HWND mainLanguage = WaitForProcessDialog(main, "Language Setting", kOpenMs);
    ASSERT_NE(mainLanguage, nullptr);

    const HANDLE bench = StartProgram(program, "--bench");
    ASSERT_NE(bench, nullptr);
    const HWND language = WaitForProcessDialog(bench, "Language Setting", kOpenMs);
    ASSERT_NE(language, nullptr);
    const DWORD benchThread = GetWindowThreadProcessId(language, nullptr);
    Click(language, IDOK);  // English, the first
    const auto library = LoadLanguage(LANGUAGE_ENGLISH);
    const std::string told = AnswerMessageBox(benchThread, IDOK, kOpenMs);
    EXPECT_EQ(told.rfind(library->LoadString(lang::IDS_NO_LOAD_YET) + "\n", 0), 0u) << told;
    EXPECT_NE(told.find("vexlor-pack.exe\" --program \""), std::string::npos) << told;
    EXPECT_EQ(WaitForSingleObject(bench, kOpenMs), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(main, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    PostMessageW(mainLanguage, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(WaitForSingleObject(main, kOpenMs), WAIT_OBJECT_0);
    CloseHandle(bench);
    CloseHandle(main);
}

}  // namespace
