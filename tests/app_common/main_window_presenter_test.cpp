// SPDX-License-Identifier: Apache-2.0
// The main window's logic without a toolkit: a view that records what it is told to draw, and a
// real operator on the handset model's in-process line, whose messages reach the presenter in
// posting order as a window's queue delivers them. The opening behind the package check, the
// port list, the status and progress lines with the three control states, Start, Stop and
// closing with their questions, a start the operator refuses, and each run's record in a record
// store of the test's own.
#include "app/common/main_window_presenter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>

#include "app/common/format_text.h"
#include "app/common/language_choice.h"
#include "app/common/pack_advice.h"
#include "app/common/resource_library.h"
#include "engine/dl_status.h"
#include "lang/string_ids.h"
#include "log/log.h"
#include "model_line.h"
#include "packed_load.h"
#include "platform/program_path.h"
#include "platform/serial_devices.h"
#include "platform/sleep.h"
#include "records/record_store.h"
#include "records/sha256.h"
#include "settings_file.h"
#include "temp_folder.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace {

// Which controls take input: port list, Start, Stop and the two hidden buttons.
using Controls = std::array<bool, 5>;
constexpr Controls kNoPort{true, false, false, false, false};
constexpr Controls kIdle{true, true, false, true, true};
constexpr Controls kRunning{false, false, true, true, true};  // the hidden buttons keep the idle state

// Draws nothing: keeps what the presenter asks for and answers its questions as told.
class RecordingView : public MainWindowView {
public:
    void SetTitle(const std::string& text) override { title = text; }
    void SetCaptions(const std::string& start, const std::string& stop, const std::string& backup,
                     const std::string& restore) override {
        captions = {start, stop, backup, restore};
    }
    void ClearLines() override { lines.clear(); }
    void AppendLine(const std::string& text) override { lines.push_back(text); }
    void InsertTopLine(const std::string& text) override {
        if (onTopLine) onTopLine(text);
        lines.insert(lines.begin(), text);
    }
    void ShowNow() override {
        if (onShowNow) onShowNow();
    }
    void ShowPorts(const std::vector<PortItem>& items) override { ports = items; }  // the first selected
    void ShowNoPort(const std::string& text) override { ports = {{text, 0, ""}}; }
    uint32_t SelectedPort() const override { return ports.empty() ? 0 : ports.front().number; }
    void EnableControls(const ControlStates& states) override {
        controls[0] = states.portList;
        controls[1] = states.start;
        controls[2] = states.stop;
        if (states.changeSpareButtons) controls[3] = controls[4] = states.spareButtons;
    }
    bool AskYesNo(const std::string& text) override {
        questions.push_back(text);
        if (onQuestion) onQuestion();
        return answerYes;
    }
    void Inform(const std::string& text) override { informs.push_back(text); }

    std::string title;
    std::vector<std::string> captions, lines, questions, informs;
    std::vector<PortItem> ports;
    Controls controls{};
    bool answerYes = true;
    std::function<void()> onQuestion;
    std::function<void()> onShowNow;
    std::function<void(const std::string&)> onTopLine;
};

// The window's message queue: the engine posts from its threads; the test hands the messages to
// the presenter on its own thread, in posting order.
class WindowQueue : public platform::NotifyTarget {
public:
    void Post(uint32_t message, uintptr_t value) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages.push_back({message, value});
        m_posted.notify_all();
    }
    // Delivers what is queued, then what comes, until done() holds; false if not within limitMs.
    bool Deliver(CMainWindowPresenter& presenter, const std::function<bool()>& done, int limitMs = 60000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            while (!m_messages.empty()) {
                const auto [message, value] = m_messages.front();
                m_messages.pop_front();
                lock.unlock();
                presenter.Notify(message, value);
                lock.lock();
            }
            if (done()) return true;
            if (!m_posted.wait_until(lock, end, [this] { return !m_messages.empty(); })) return false;
        }
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::pair<uint32_t, uintptr_t>> m_messages;
};

// The data checking dialog: counts the percentages the check posts (on the presenter's thread).
struct CheckDialog : platform::NotifyTarget {
    void Post(uint32_t, uintptr_t) override { ++percentages; }
    int percentages = 0;
};

class PresenterTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(folder.File("no-ttys"));
        MapPorts({{"handset-model", "COM9"}});  // the model's line opens whatever the map names
        ASSERT_EQ(LogOpen("SOFTWARE\\Vexlor"), 1);
    }
    void TearDown() override {
        presenter.reset();
        op.reset();
        LogClose();
    }

    // The settings file in use: the log in the test's folder and this port map.
    void MapPorts(const std::map<std::string, std::string>& ports) {
        TestSettings settings;
        settings.logPrefix = folder.File("log-");
        settings.ports = ports;
        ASSERT_TRUE(UseSettings(folder.File("settings.reg"), settings));
    }

    // A window's parts (the library of language, an operator on a handset model set up with the
    // simulator's options, a program file with a load of loadSize bytes, or programPath), then
    // the opening as the window runs it. The check's result.
    bool Open(const std::vector<std::string>& simOptions = {}, uint32_t loadSize = 0x1000,
              int language = LANGUAGE_ENGLISH, std::string programPath = {}) {
        presenter.reset();
        programFile.Close();  // Windows replaces no file that is open
        library = std::make_unique<CResourceLibrary>();
        EXPECT_TRUE(library->Load(LanguageLibraryPath(platform::ProgramFolder(), language)));
        if (programPath.empty()) {
            programPath = folder.File("vexlor-packed");
            load = TestLoad(loadSize);
            EXPECT_EQ(PackLoadIntoProgram(folder.Path(), load, "VX12.01", programPath), "");
        }
        SimOptions options;
        EXPECT_EQ(ParseSimOptions(simOptions, options), "");
        auto line = std::make_unique<ModelLine>(options);
        handset = line.get();
        op = std::make_unique<CDLOperator>(std::move(line));
        view = RecordingView{};
        const SerialCommSources ports{folder.File("settings.reg"), folder.File("no-ttys"), ""};
        presenter = std::make_unique<CMainWindowPresenter>(
            view, [this](unsigned id) { return library->LoadString(id); }, *op, &queue, programFile,
            MainWindowOptions{programPath, ports, nullptr, recordsPath});
        EXPECT_EQ(presenter->BeginPackageCheck(), Text(lang::IDS_CHECK_PROGRESS));
        checkDialog = CheckDialog{};
        return presenter->Open(presenter->CheckPackage(&checkDialog));
    }

    // Starts a run of throttle baud (a 128 KiB block takes about 1.35 s at 1000000); true once
    // the run has posted its 0 %.
    bool StartRun(uint32_t loadSize, const char* throttle = "1000000") {
        if (!Open({"--throttle", throttle}, loadSize)) return false;
        presenter->DropDown();
        presenter->Start();
        const std::string zero = WithNumber(lang::IDS_PROGRESS, 0);
        return queue.Deliver(*presenter, [&] { return std::ranges::count(view.lines, zero) == 1; });
    }

    std::string Text(unsigned id) const { return library->LoadString(id); }
    std::string WithModel(unsigned id) const { return FormatText(Text(id), lang::kModelCode); }
    std::string WithNumber(unsigned id, int value) const { return FormatNumber(Text(id), value); }
    int InLog(const std::string& text) const { return CountOccurrences(ReadLogFolder(folder.Path()), text); }
    // The records in the test's store, newest first (none where it cannot be read).
    std::vector<ProductionRecord> Stored() const {
        std::vector<ProductionRecord> records;
        StoreFailure failure;
        if (auto store = RecordStore::Open(recordsPath, RecordStore::Mode::kRead, failure)) {
            store->History({}, [&](const ProductionRecord& r) {
                records.push_back(r);
                return true;
            });
        }
        return records;
    }

    TempFolder folder;
    std::unique_ptr<CResourceLibrary> library;
    std::vector<uint8_t> load;
    RecordingView view;
    WindowQueue queue;
    CheckDialog checkDialog;
    platform::ReadOnlyFile programFile;
    std::string recordsPath = folder.File("data/vexlor/records.db");  // made by the first Start
    ModelLine* handset = nullptr;                                     // owned by the operator
    std::unique_ptr<CDLOperator> op;
    std::unique_ptr<CMainWindowPresenter> presenter;
};

TEST_F(PresenterTest, OpensWithTitleCaptionsAndInstructionLinesInEachLanguage) {
    for (int language : {LANGUAGE_ENGLISH, LANGUAGE_TRADITIONAL_CHINESE, LANGUAGE_SIMPLIFIED_CHINESE}) {
        SCOPED_TRACE(language);
        ASSERT_TRUE(Open({}, 0x1000, language));
        EXPECT_TRUE(view.informs.empty());
        EXPECT_GT(checkDialog.percentages, 0);  // the check's percentages went to the dialog
        std::vector<std::string> instructions;
        for (unsigned id : lang::kInstructionLines) {
            instructions.push_back(id == lang::IDS_INSTRUCTION_5 ? Text(id) : WithModel(id));
        }
        EXPECT_EQ(view.lines, instructions);
        EXPECT_EQ(view.lines.size(), 13u);
        EXPECT_EQ(view.title, WithModel(lang::IDS_TITLE));
        EXPECT_EQ(view.captions, (std::vector<std::string>{Text(lang::IDS_START), Text(lang::IDS_STOP),
                                                           Text(lang::IDS_BACKUP), Text(lang::IDS_RESTORE)}));
        ASSERT_EQ(view.ports.size(), 1u);
        EXPECT_EQ(view.ports[0].text, Text(lang::IDS_NO_PORT));
        EXPECT_EQ(view.controls, kNoPort);
        EXPECT_EQ(presenter->AboutText(), WithModel(lang::IDS_ABOUT));
    }
}

TEST_F(PresenterTest, FailedPackageCheckSaysWhyAndEndsTheWindow) {
    // No program file at all: the check fails before any percentage.
    EXPECT_FALSE(Open({}, 0, LANGUAGE_ENGLISH, folder.File("missing")));
    EXPECT_EQ(view.informs, std::vector<std::string>{Text(lang::IDS_CHECK_FAILED)});
    EXPECT_EQ(checkDialog.percentages, 0);
    EXPECT_EQ(view.lines.size(), 13u);  // the window still fills itself before it ends

    // A load altered after packing: its CRC fails.
    ASSERT_TRUE(Open({}, 0x4000));
    std::string damaged = ReadWholeFile(folder.File("vexlor-packed"));
    damaged[0x4000] = static_cast<char>(damaged[0x4000] ^ 0x40);  // inside the enciphered load
    ASSERT_TRUE(WriteWholeFile(folder.File("damaged"), damaged));
    EXPECT_FALSE(Open({}, 0, LANGUAGE_ENGLISH, folder.File("damaged")));
    EXPECT_EQ(view.informs, std::vector<std::string>{Text(lang::IDS_CHECK_FAILED)});

    // A program that never had a load packed into it says so in its own words, not as damage,
    // with the command that packs one using the vexlor-pack beside it.
    ASSERT_TRUE(WriteWholeFile(folder.File("bare"), std::string(64 * 1024, '\x5A')));
    EXPECT_FALSE(Open({}, 0, LANGUAGE_ENGLISH, folder.File("bare")));
    EXPECT_EQ(view.informs,
              std::vector<std::string>{Text(lang::IDS_NO_LOAD_YET) + "\n" +
                                       FormatText(Text(lang::IDS_NO_LOAD_PACK), PackCommandFor(folder.File("bare")))});
    EXPECT_NE(view.informs[0].find("vexlor-pack"), std::string::npos);
    EXPECT_NE(view.informs[0].find(" --program \"" + folder.File("bare") + "\" --load "), std::string::npos);
}

TEST_F(PresenterTest, PortListIsReadAfreshSortedWithPrefixAndDevice) {
    ASSERT_TRUE(Open());
    MapPorts({{"/dev/ttyTEST10", "COM10"}, {"/dev/ttyTEST1", "COM1"}, {"/dev/ttyTEST3", "COM3"}});
    presenter->DropDown();
    std::vector<std::string> items;
    for (const auto& i : view.ports) items.push_back(i.text + "|" + std::to_string(i.number) + "|" + i.device);
    const std::string prefix = Text(lang::IDS_PORT_PREFIX);
    EXPECT_EQ(items, (std::vector<std::string>{prefix + "1|1|/dev/ttyTEST1", prefix + "3|3|/dev/ttyTEST3",
                                               prefix + "10|10|/dev/ttyTEST10"}));
    EXPECT_EQ(view.controls, kIdle);

    // The ports went: the list says so and Start is off again.
    MapPorts({});
    presenter->DropDown();
    ASSERT_EQ(view.ports.size(), 1u);
    EXPECT_EQ(view.ports[0].text, Text(lang::IDS_NO_PORT));
    EXPECT_EQ(view.controls, kNoPort);
}

TEST_F(PresenterTest, EveryStatusShowsItsLineAndFinalOnesReturnToIdle) {
    MapPorts({});
    ASSERT_TRUE(Open({}, 0x1000, LANGUAGE_TRADITIONAL_CHINESE));
    // Each status on the string ID every language library is built to; what that text leaves
    // open on the line under it.
    struct Row {
        uint32_t code;
        unsigned id;
        unsigned under;  // 0: no line under it
        bool final;
    };
    const std::vector<Row> table = {
        {STATUS_STARTED, lang::IDS_STARTED, 0, false},
        {STATUS_DIAG_READY, lang::IDS_DIAG_READY, 0, false},
        {STATUS_DONE, lang::IDS_DONE, 0, true},
        {STATUS_ERR_PORT, lang::IDS_ERR_PORT, 0, true},
        {STATUS_ERR_MODE, 89, 0, true},
        {STATUS_ERR_NOT_DIAG, 89, lang::IDS_ERR_NOT_DIAG, true},
        {STATUS_ERR_VERSION, 87, 0, true},
        {STATUS_ERR_WRITE, 90, 0, true},
        {STATUS_ERR_FINAL, 90, lang::IDS_ERR_FINAL, true},
        {STATUS_ERR_NAND, 90, lang::IDS_ERR_NAND, true},
        {STATUS_ERR_ACC, lang::IDS_ERR_ACC, 0, true},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.code);
        presenter->DropDown();  // no port: back to the no-port state
        const size_t before = view.lines.size();
        presenter->Notify(WM_DL_STATUS, row.code);
        EXPECT_EQ(view.lines.front(), Text(row.id));
        EXPECT_EQ(view.lines.size(), before + (row.under ? 2 : 1));
        if (row.under) {
            EXPECT_EQ(view.lines[1], Text(row.under));
        }
        EXPECT_EQ(view.controls, row.final ? kIdle : kNoPort);
    }
    // A code outside the table adds an empty line and changes no control; a message that is
    // neither status nor progress changes nothing at all.
    for (uint32_t code : {0x000u, 0x002u, 0x777u, 0xF00u, 0xF65u, 0xFFFFFFFFu}) {
        presenter->DropDown();
        const size_t before = view.lines.size();
        presenter->Notify(WM_DL_STATUS, code);
        presenter->Notify(0x604, 5);
        EXPECT_EQ(view.lines.size(), before + 1);
        EXPECT_EQ(view.lines.front(), "");
        EXPECT_EQ(view.controls, kNoPort);
    }
    // Ten percentages, then done: done on top, the percentages below it newest first.
    for (int percent = 0; percent < 100; percent += 10) presenter->Notify(WM_DL_PROGRESS, percent);
    presenter->Notify(WM_DL_STATUS, STATUS_DONE);
    EXPECT_EQ(view.lines[0], Text(lang::IDS_DONE));
    for (int i = 0; i < 10; ++i) EXPECT_EQ(view.lines[1 + i], WithNumber(lang::IDS_PROGRESS, 90 - 10 * i));
}

TEST_F(PresenterTest, StartClearsTheListAndTheRunEndsInDoneNewestLineOnTop) {
    ASSERT_TRUE(Open({}, 3 * 0x20000 + 3000));
    presenter->DropDown();
    presenter->Start();
    EXPECT_TRUE(view.lines.empty());
    EXPECT_EQ(view.controls, kRunning);
    ASSERT_TRUE(queue.Deliver(*presenter, [&] { return view.controls == kIdle; }));
    // Done with the handset's ESN under it, 100 %, one line for each full block (the short last
    // block ends at 100, which is not posted twice), 0 %, DIAG ready, started.
    ASSERT_EQ(view.lines.size(), 9u);
    EXPECT_EQ(view.lines[0], Text(lang::IDS_DONE));
    const std::string esn = FormatText(Text(lang::IDS_ESN_LINE), "9F");  // the simulated bench's own
    EXPECT_EQ(view.lines[1].rfind(esn, 0), 0u) << view.lines[1];
    EXPECT_EQ(view.lines[1].size(), esn.size() + 6) << view.lines[1];
    EXPECT_EQ(view.lines[2], WithNumber(lang::IDS_PROGRESS, 100));
    EXPECT_EQ(view.lines[6], WithNumber(lang::IDS_PROGRESS, 0));
    EXPECT_EQ(view.lines[7], Text(lang::IDS_DIAG_READY));
    EXPECT_EQ(view.lines[8], Text(lang::IDS_STARTED));
    std::string why;
    EXPECT_TRUE(ImageMatchesLoad(handset->Image(), load, &why)) << why;
    EXPECT_TRUE(view.informs.empty());
}

TEST_F(PresenterTest, PortThatWentAwayEndsTheRunWithTheReasonUnderItsStatus) {
    ASSERT_TRUE(Open());
    presenter->DropDown();
    handset->Unplug();
    presenter->Start();
    ASSERT_TRUE(queue.Deliver(*presenter, [&] { return view.controls == kIdle; }));
    // The reason names the port and the device it opens (Windows opens "\\.\COM9" itself).
    const std::string where = "COM9 (" + platform::SerialOpenPath("handset-model", "COM9") + ")";
    EXPECT_EQ(view.lines,
              (std::vector<std::string>{Text(lang::IDS_ERR_PORT), FormatText(Text(lang::IDS_PORT_ABSENT), where),
                                        Text(lang::IDS_STARTED)}));
    EXPECT_TRUE(view.informs.empty());
}

TEST_F(PresenterTest, APortAnotherProgramHoldsIsWaitedForAndTheWindowSaysSo) {
    ASSERT_TRUE(Open());
    presenter->DropDown();
    handset->HoldElsewhere(true);
    presenter->Start();
    const std::string waiting = FormatText(Text(lang::IDS_PORT_BUSY_WAITING_UNKNOWN), "COM9");
    ASSERT_TRUE(queue.Deliver(*presenter, [&] { return std::ranges::count(view.lines, waiting) == 1; }))
        << ::testing::PrintToString(view.lines);
    handset->HoldElsewhere(false);  // it lets go
    ASSERT_TRUE(queue.Deliver(*presenter, [&] { return view.controls == kIdle; }));
    EXPECT_EQ(view.lines.front(), Text(lang::IDS_DONE));
    EXPECT_EQ(std::ranges::count(view.lines, waiting), 1);
}

TEST_F(PresenterTest, StopAsksFirstAndStopsTheRunOnlyOnYes) {
    ASSERT_TRUE(StartRun(8 * 0x20000));
    view.answerYes = false;
    presenter->Stop();
    EXPECT_EQ(view.questions, std::vector<std::string>{Text(lang::IDS_STOP_QUESTION)});
    EXPECT_TRUE(op->IsRunning());
    EXPECT_EQ(view.controls, kRunning);

    // Yes: the worker has ended when Stop returns; what it posted before adds no status line.
    view.answerYes = true;
    presenter->Stop();
    EXPECT_FALSE(op->IsRunning());
    EXPECT_EQ(view.lines.front(), Text(lang::IDS_STOPPED));
    EXPECT_EQ(view.controls, kIdle);
    queue.Deliver(*presenter, [] { return true; });
    EXPECT_EQ(std::ranges::count(view.lines, Text(lang::IDS_STARTED)), 1);
    EXPECT_EQ(InLog("Current status code is"), 2);  // started and DIAG ready: no final status
    EXPECT_LT(handset->Image().size(), load.size());

    // Stop once the run has ended: asked, and nothing changes.
    const std::vector<std::string> before = view.lines;
    presenter->Stop();
    EXPECT_EQ(view.questions.size(), 3u);
    EXPECT_EQ(view.lines, before);
    EXPECT_EQ(view.controls, kIdle);
}

TEST_F(PresenterTest, AVersionMismatchNamesBothVersionsAndTheLoadThatFitsNotSwitchingOffAndOn) {
    ASSERT_TRUE(Open({"--version-numbers", "1,3"}));
    presenter->DropDown();
    presenter->Start();
    ASSERT_TRUE(queue.Deliver(*presenter, [&] { return view.controls == kIdle; }));
    ASSERT_GE(view.lines.size(), 2u);
    EXPECT_EQ(view.lines[0], FormatTexts(Text(lang::IDS_ERR_VERSION_MISMATCH), {"13", "12"}));
    EXPECT_EQ(view.lines[1], Text(lang::IDS_VERSION_ADVICE));
    EXPECT_EQ(std::ranges::count(view.lines, Text(lang::IDS_ERR_VERSION)), 0);
}

TEST_F(PresenterTest, AStopInTheBlocksSaysAtOnceHowLongTheBlockTakesThenWhatToDo) {
    ASSERT_TRUE(StartRun(8 * 0x20000));
    auto inBlock = [&] { return InLog("Start writing block start at 200") == 1; };
    for (int i = 0; i < 6000 && !inBlock(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(inBlock());
    // Painted while the worker still writes its block: no block's end seen yet, so the whole
    // block at 115200 baud (131072 bytes at 11520 a second).
    bool runningWhenShown = false;
    std::vector<std::string> shown;
    view.onShowNow = [&] {
        runningWhenShown = op->IsRunning();
        shown = view.lines;
    };
    const std::string stopping = FormatText(Text(lang::IDS_STOPPING_BLOCK), "12");
    presenter->Stop();
    EXPECT_TRUE(runningWhenShown);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), stopping);
    // Then that it stopped, and under it what to do with the handset.
    ASSERT_GE(view.lines.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(view.lines.begin(), view.lines.begin() + 3),
              (std::vector<std::string>{Text(lang::IDS_STOPPED), Text(lang::IDS_STOPPED_ADVICE), stopping}));
}

TEST_F(PresenterTest, ClosingOrGoingAwayDuringARunStopsTheRunFirst) {
    ASSERT_TRUE(Open());
    EXPECT_TRUE(presenter->MayClose());  // no run: closes at once, unasked
    EXPECT_TRUE(view.questions.empty());

    ASSERT_TRUE(StartRun(8 * 0x20000));
    view.answerYes = false;
    EXPECT_FALSE(presenter->MayClose());
    EXPECT_EQ(view.questions, std::vector<std::string>{Text(lang::IDS_CLOSE_QUESTION)});
    EXPECT_TRUE(op->IsRunning());
    // Yes: the run is stopped first. A second close while the question shows is refused unasked.
    view.answerYes = true;
    bool runningWhenAsked = false, secondClose = true;
    view.onQuestion = [&] {
        runningWhenAsked = op->IsRunning();
        secondClose = presenter->MayClose();
    };
    EXPECT_TRUE(presenter->MayClose());
    EXPECT_TRUE(runningWhenAsked);
    EXPECT_FALSE(secondClose);
    EXPECT_EQ(view.questions.size(), 2u);
    EXPECT_FALSE(op->IsRunning());

    // A window that goes away during a run: the worker reads the program file and posts to the
    // window, so it ends before either goes.
    ASSERT_TRUE(StartRun(8 * 0x20000));
    presenter.reset();
    EXPECT_FALSE(op->IsRunning());
    EXPECT_TRUE(view.informs.empty());                         // stopped within the wait
    EXPECT_EQ(InLog("Use call to stop download thread."), 2);  // the closed run and this one
}

TEST_F(PresenterTest, RefusedStartLeavesTheWindowIdleWithTheOperatorsReason) {
    // A stop that cannot finish, then a Start while that worker still runs: one 128 KiB block on
    // a 230400 baud line (about 6 s) outlasts both waits (120 s unscaled, 2.4 s here); the
    // operator's own messages and log lines of both are checked too.
    ASSERT_LT(platform::ScaledMs(CDLOperator::THREAD_WAIT_MS), 4000) << "needs VEXLOR_TIME_SCALE=0.02";
    ASSERT_TRUE(StartRun(0x20200, "230400"));
    auto inBlock = [&] { return InLog("Start writing block start at 200") == 1; };
    for (int i = 0; i < 6000 && !inBlock(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(inBlock());

    presenter->Stop();
    EXPECT_EQ(view.informs, std::vector<std::string>{"Can not stop operator thread."});
    EXPECT_EQ(view.controls, kIdle);
    EXPECT_EQ(view.lines.front(), Text(lang::IDS_STOPPED));
    ASSERT_TRUE(op->IsRunning());

    presenter->Start();
    ASSERT_EQ(view.informs.size(), 2u);
    EXPECT_EQ(view.informs[1], "Opeator Thread is still running so that we can not create a new thread.");
    EXPECT_EQ(InLog("CDLOperator::Start\tOpeator Thread is still running so that we can not create a new thread."), 1);
    EXPECT_EQ(view.controls, kIdle);  // not "running" on a run that is not its own
    EXPECT_TRUE(view.lines.empty());

    // A later Stop finds the worker ended once the block is through (on a loaded machine the
    // modelled line may take a few more waits). It posted no status after the first two.
    for (int attempt = 0; attempt < 10 && op->IsRunning(); ++attempt) presenter->Stop();
    ASSERT_FALSE(op->IsRunning());
    for (size_t i = 2; i < view.informs.size(); ++i) EXPECT_EQ(view.informs[i], "Can not stop operator thread.");
    queue.Deliver(*presenter, [] { return true; });
    EXPECT_EQ(InLog("Current status code is"), 2);
    EXPECT_EQ(InLog("Use call to stop download thread."), 1);
    EXPECT_FALSE(op->Link().IsPortOpen());

    // And Start works again, with the handset (left in download mode) switched off and on.
    handset->PowerCycle(SimOptions{});
    presenter->Start();
    EXPECT_EQ(view.controls, kRunning);
    ASSERT_TRUE(queue.Deliver(*presenter, [&] { return view.controls == kIdle; }));
    EXPECT_EQ(view.lines.front(), Text(lang::IDS_DONE));
    std::string why;
    EXPECT_TRUE(ImageMatchesLoad(handset->Image(), load, &why)) << why;
}

TEST_F(PresenterTest, EveryRunLeavesItsRecordInTheStoreBeforeItsFinalLineShows) {
    ASSERT_TRUE(Open({}, 0x20000 + 3000));
    presenter->DropDown();
    size_t storedAtDone = 0;
    view.onTopLine = [&](const std::string& line) {
        if (line == Text(lang::IDS_DONE)) storedAtDone = Stored().size();
    };
    presenter->Start();
    ASSERT_TRUE(queue.Deliver(*presenter, [&] { return view.controls == kIdle; }));
    EXPECT_EQ(storedAtDone, 1u);
    std::vector<ProductionRecord> records = Stored();
    ASSERT_EQ(records.size(), 1u);
    const ProductionRecord& done = records[0];
    EXPECT_EQ(done.result, "done");
    EXPECT_EQ(done.code, "0x065");
    EXPECT_EQ(done.reason, "");
    // The ESN the window showed under its done line.
    ASSERT_EQ(done.esn.size(), 8u);
    EXPECT_EQ(view.lines[1], FormatText(Text(lang::IDS_ESN_LINE), done.esn));
    EXPECT_EQ(done.port, "COM9");
    EXPECT_EQ(done.device, "handset-model");
    EXPECT_EQ(done.loadVersion, "VX12.01");
    EXPECT_EQ(done.loadSha256, Sha256Hex(std::string_view(reinterpret_cast<const char*>(load.data()), load.size())));
    EXPECT_EQ(done.bytes, static_cast<int64_t>(load.size()));
    EXPECT_GT(done.seconds, 0);
    EXPECT_FALSE(done.confirmed.has_value());  // the window asks for no confirmation

    // A port that went away: failed, with the reason the window showed under its status.
    handset->Unplug();
    presenter->Start();
    ASSERT_TRUE(queue.Deliver(*presenter, [&] { return view.controls == kIdle; }));
    records = Stored();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].result, "failed");
    EXPECT_EQ(records[0].code, "0xF01");
    ASSERT_GE(view.lines.size(), 2u);
    EXPECT_EQ(records[0].reason, view.lines[1]);

    // A run stopped by the user: once, as stopped, whatever its worker posted before.
    ASSERT_TRUE(StartRun(8 * 0x20000));
    presenter->Stop();
    queue.Deliver(*presenter, [] { return true; });
    records = Stored();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].result, "stopped");
    EXPECT_EQ(records[0].code, "0x060");  // DIAG ready, the last status it told
    EXPECT_LT(records[0].bytes, static_cast<int64_t>(8 * 0x20000));
    EXPECT_TRUE(view.informs.empty());
}

TEST_F(PresenterTest, AStoreThatIsNoRecordStoreRefusesStartWithTheReasonAndTouchesNoHandset) {
    std::filesystem::create_directories(std::filesystem::path(recordsPath).parent_path());
    const std::string notOurs = "name,esn\nsomething else entirely\n";
    ASSERT_TRUE(WriteWholeFile(recordsPath, notOurs));
    ASSERT_TRUE(Open());
    presenter->DropDown();
    presenter->Start();
    EXPECT_EQ(view.informs, std::vector<std::string>{FormatText(Text(lang::IDS_RECORDS_NOT_OURS), recordsPath)});
    EXPECT_FALSE(op->IsRunning());
    EXPECT_EQ(view.controls, kIdle);
    queue.Deliver(*presenter, [] { return true; });
    EXPECT_EQ(InLog("Current status code is"), 0);
    EXPECT_TRUE(handset->Image().empty());
    EXPECT_EQ(ReadWholeFile(recordsPath), notOurs);  // left as it was
}

#ifndef _WIN32
TEST_F(PresenterTest, ARecordThatCannotBeWrittenIsToldUnderTheRunsOwnOutcome) {
    ASSERT_TRUE(Open());
    presenter->DropDown();
    presenter->Start();
    ASSERT_TRUE(queue.Deliver(*presenter, [&] { return view.controls == kIdle; }));
    ASSERT_EQ(Stored().size(), 1u);
    // A file size limit at the store's journal's end: the next record cannot go in, as on a
    // full disk.
    signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit limit = before;
    limit.rlim_cur = std::filesystem::file_size(recordsPath + "-wal");
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    presenter->Start();
    const bool ended = queue.Deliver(*presenter, [&] { return view.controls == kIdle; });
    setrlimit(RLIMIT_FSIZE, &before);
    ASSERT_TRUE(ended);
    // Done stays done, its ESN under it, and under that the lost record with the store's name.
    ASSERT_GE(view.lines.size(), 3u);
    EXPECT_EQ(view.lines[0], Text(lang::IDS_DONE));
    const std::string lost = FormatTexts(Text(lang::IDS_RECORDS_LOST), {"COM9", recordsPath, ""});
    const std::string start = lost.substr(0, lost.find(recordsPath) + recordsPath.size());
    EXPECT_EQ(view.lines[2].rfind(start, 0), 0u) << view.lines[2];
    EXPECT_GT(view.lines[2].size(), lost.size()) << "says why";
    EXPECT_EQ(Stored().size(), 1u);
    EXPECT_TRUE(view.informs.empty());
}
#endif

}  // namespace
