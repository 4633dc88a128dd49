// SPDX-License-Identifier: Apache-2.0
// The handset model on an in-process serial line: a port's behaviour, the read's time-out,
// settle window and wake-up, and the simulator's options as the line plays them.
#include "model_line.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "log/log.h"
#include "platform/sys_error.h"
#include "settings_file.h"
#include "sim_test_bytes.h"
#include "temp_folder.h"

namespace {

using Clock = std::chrono::steady_clock;
using CloseMode = platform::SerialLine::CloseMode;
using Problem = platform::SerialLine::Problem;

const Bytes kVersionRequest = DiagFrame(Hex("00"));
const Bytes kStart = DlFrame(Hex("70 00"));

std::unique_ptr<ModelLine> OpenLine(const std::vector<std::string>& args, uint32_t rate = 115200,
                                    std::shared_ptr<LineClock> clock = nullptr) {
    SimOptions options;
    EXPECT_EQ(ParseSimOptions(args, options), "");
    auto line = std::make_unique<ModelLine>(options, std::move(clock));
    EXPECT_EQ(line->Open("ignored", rate).error, 0);
    return line;
}

int Write(ModelLine& line, const Bytes& bytes) { return line.Write(bytes.data(), bytes.size(), nullptr); }

// Everything that arrives within timeoutMs, gathered while pieces follow within settleMs.
Bytes ReadSome(ModelLine& line, int timeoutMs = 200, int settleMs = 50, int* error = nullptr) {
    Bytes buffer(4096);
    size_t got = 0;
    const int result = line.Read(buffer.data(), buffer.size(), &got, timeoutMs, settleMs);
    if (error) *error = result;
    buffer.resize(got);
    return buffer;
}

int64_t MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(ModelLine, BehavesAsAPortClosedOpenAndReopened) {
    SimOptions options;
    ModelLine line(options);
    uint8_t byte = 0;
    size_t count = 0;
    EXPECT_EQ(line.Read(&byte, 1, &count, 10, 0), platform::kErrorNotOpen);
    EXPECT_EQ(line.Write(&byte, 1, &count), platform::kErrorNotOpen);
    EXPECT_EQ(line.Close(CloseMode::kKeepSettings), 0);

    const platform::SerialLine::OpenResult refused = line.Open("COM7", 0);
    EXPECT_EQ(refused.problem, Problem::kRateRefused);
    EXPECT_FALSE(line.IsOpen());
    ASSERT_TRUE(line.Open("COM7", 230400).Ok());
    EXPECT_EQ(line.Open("COM7", 230400).problem, Problem::kInUse);
    EXPECT_EQ(line.RatesSet(), (std::vector<uint32_t>{230400}));

    // The answer is exactly the model's.
    HandsetModel model(options.handset);
    ASSERT_EQ(Write(line, kVersionRequest), 0);
    EXPECT_EQ(ToHex(ReadSome(line)), ToHex(Feed(model, kVersionRequest)));

    // An answer nobody read is gone after closing and reopening.
    ASSERT_EQ(Write(line, kVersionRequest), 0);
    EXPECT_EQ(line.Close(CloseMode::kKeepSettings), 0);
    ASSERT_TRUE(line.Open("COM7", 115200).Ok());
    EXPECT_TRUE(ReadSome(line, 50).empty());
    EXPECT_EQ(line.Close(CloseMode::kRestoreSettings), 0);
    EXPECT_EQ(line.OpenCount(), 2);
    EXPECT_EQ(line.RatesOfWritesHolding(kVersionRequest), (std::vector<uint32_t>{230400, 230400}));
    // Every step is kept, closes with whether they gave the port its settings back.
    using Kind = InProcessLine::Event::Kind;
    std::vector<Kind> kinds;
    for (const InProcessLine::Event& event : line.Events()) kinds.push_back(event.kind);
    EXPECT_EQ(kinds,
              (std::vector<Kind>{Kind::kOpen, Kind::kWrite, Kind::kWrite, Kind::kClose, Kind::kOpen, Kind::kRestore}));
}

// On the line's own clock, which moves on to whatever moment the line waits for: the timing is
// exact and nothing sleeps.
TEST(ModelLine, PiecesArriveAfterTheirPausesAndAReadSettlesOrTimesOut) {
    HandsetModel model{HandsetConfig{}};
    const Bytes whole = Feed(model, kVersionRequest);
    ASSERT_GT(whole.size(), 48u);
    auto clock = std::make_shared<ManualLineClock>();
    auto line = OpenLine({"--mode", "diag", "--reply-pieces", "16,60"}, 115200, clock);
    const auto msSince = [&](LineClock::Clock::time_point start) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(clock->Now() - start).count();
    };

    const auto start = clock->Now();
    ASSERT_EQ(Write(*line, kVersionRequest), 0);
    EXPECT_EQ(msSince(start), 0);  // the pauses never hold the writer
    // Settle 0: the first piece alone, at once.
    Bytes all = ReadSome(*line, 1000, 0);
    EXPECT_EQ(all.size(), 16u);
    EXPECT_EQ(msSince(start), 0);
    // A settle window shorter than the pause ends the read after the next piece.
    const Bytes second = ReadSome(*line, 1000, 20);
    EXPECT_EQ(second.size(), 16u);
    EXPECT_EQ(msSince(start), 60 + 20);
    // The time-out ends a read even while pieces keep coming.
    const auto cutStart = clock->Now();
    const Bytes cut = ReadSome(*line, 90, 200);
    EXPECT_EQ(msSince(cutStart), 90);
    EXPECT_EQ(cut.size(), 16u);  // the piece at 120 ms; the next, at 180, comes after the time-out
    // A window longer than the pause collects the rest.
    const Bytes rest = ReadSome(*line, 5000, 150);
    for (const Bytes* part : {&second, &cut, &rest}) all.insert(all.end(), part->begin(), part->end());
    EXPECT_EQ(ToHex(all), ToHex(whole));
}

TEST(ModelLineTiming, WakeEndsAWaitingReadOrTheNextOneUnlessDiscarded) {
    auto line = OpenLine({});
    auto start = Clock::now();
    std::thread waker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        line->WakeReader();
    });
    int error = -1;
    EXPECT_TRUE(ReadSome(*line, 5000, 0, &error).empty());
    waker.join();
    EXPECT_EQ(error, 0);
    EXPECT_LT(MsSince(start), 2000);

    line->WakeReader();
    start = Clock::now();
    EXPECT_TRUE(ReadSome(*line, 5000, 0).empty());
    EXPECT_LT(MsSince(start), 2000);

    line->WakeReader();
    line->DiscardWake();
    start = Clock::now();
    EXPECT_TRUE(ReadSome(*line, 100, 0).empty());
    EXPECT_GE(MsSince(start), 95);
}

TEST(ModelLine, TheHandsetHearsOnlyItsRatesAndSilentKeepsItQuiet) {
    auto line = OpenLine({"--mode", "diag", "--only-baud", "460800"});
    ASSERT_EQ(Write(*line, kVersionRequest), 0);
    EXPECT_TRUE(ReadSome(*line, 50).empty());
    // A frame begun at the wrong rate is noise: its end alone is a bad frame, not answered.
    ASSERT_EQ(Write(*line, Bytes(kVersionRequest.begin(), kVersionRequest.begin() + 2)), 0);
    line->Close(CloseMode::kKeepSettings);
    ASSERT_TRUE(line->Open("COM7", 460800).Ok());
    ASSERT_EQ(Write(*line, Bytes(kVersionRequest.begin() + 2, kVersionRequest.end())), 0);
    EXPECT_TRUE(ReadSome(*line, 50).empty());
    ASSERT_EQ(Write(*line, kVersionRequest), 0);
    EXPECT_FALSE(ReadSome(*line).empty());
    EXPECT_NE(line->NotesText().find("garbled: line rate 115200"), std::string::npos) << line->NotesText();

    // Without --only-baud the handset hears the three rates of a handset's line, and no other.
    for (const uint32_t rate : {115200u, 230400u, 460800u, 38400u}) {
        auto plain = OpenLine({"--mode", "diag"}, rate);
        ASSERT_EQ(Write(*plain, kVersionRequest), 0);
        EXPECT_EQ(ReadSome(*plain).empty(), rate == 38400u) << rate;
    }

    auto silent = OpenLine({"--silent"});
    size_t written = 0;
    ASSERT_EQ(silent->Write(DetectionPacket().data(), DetectionPacket().size(), &written), 0);
    EXPECT_EQ(written, DetectionPacket().size());
    EXPECT_TRUE(ReadSome(*silent, 50).empty());
}

TEST(ModelLine, DisconnectFailsTheLineAsAVanishedDeviceAndKeepsTheImage) {
    auto line = OpenLine({"--mode", "dl", "--disconnect-after", "1024"});
    const Bytes load = MakeLoad(1024);
    ASSERT_EQ(Write(*line, kStart), 0);
    ASSERT_EQ(Write(*line, DlFrame(WritePacket(0, {load.data(), 512}))), 0);
    // The line drops at the packet reaching the count; answers that came first are still read.
    ASSERT_EQ(Write(*line, DlFrame(WritePacket(512, {load.data() + 512, 512}))), 0);
    EXPECT_TRUE(line->Unplugged());
    int error = -1;
    EXPECT_EQ(DecodeFrames(ReadSome(*line, 100, 20, &error), true).size(), 2u);  // start, first packet
    EXPECT_EQ(error, 0);
    EXPECT_TRUE(ReadSome(*line, 100, 0, &error).empty());
    EXPECT_EQ(error, platform::kErrorGone);
    EXPECT_TRUE(platform::IsDeviceGone(Write(*line, kStart)));
    EXPECT_EQ(line->Close(CloseMode::kKeepSettings), 0);
    const platform::SerialLine::OpenResult absent = line->Open("COM7", 115200);
    EXPECT_EQ(absent.error, platform::kErrorNotFound);
    EXPECT_EQ(absent.problem, Problem::kAbsent);
    EXPECT_EQ(line->Image(), load);

    line->PowerCycle(SimOptions{});
    EXPECT_TRUE(line->Open("COM7", 115200).Ok());
    EXPECT_EQ(line->Mode(), HandsetMode::DIAG);
    EXPECT_TRUE(line->Image().empty());
}

TEST(ModelLine, AnswersAsTheModelFedDirectlyWithoutItsDecoderWritingTheToolsLog) {
    // DL frames whose payloads need escapes, back to back and split across writes, after a
    // detection packet and a frame with a bad CRC: the handset must not be led astray, and its
    // decoder's complaints about empty frames between flags must not reach the tool's log.
    Bytes stream = DetectionPacket();
    Bytes data(512, 0x7E);
    data[1] = 0x7D;
    for (const Bytes& frame : {kStart, DlFrame(WritePacket(0, data)), DlFrame(Hex("06")), DlFrame(Hex("06"))}) {
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    Bytes bad = DlFrame(Hex("06"));
    bad[1] ^= 1;
    stream.insert(stream.end(), bad.begin(), bad.end());

    HandsetConfig config;
    config.startMode = HandsetMode::DL;
    HandsetModel model(config);
    const Bytes expected = Feed(model, stream);  // before the log opens: it logs empty frames

    TempFolder folder;
    TestSettings settings;
    settings.logPrefix = folder.File("log-");
    ASSERT_TRUE(UseSettings(folder.File("settings.reg"), settings));
    ASSERT_EQ(LogOpen("SOFTWARE\\Vexlor"), 1);

    auto line = OpenLine({"--mode", "dl"});
    for (size_t at = 0; at < stream.size(); at += 7) {
        ASSERT_EQ(Write(*line, Bytes(stream.begin() + at, stream.begin() + std::min(stream.size(), at + 7))), 0);
    }
    EXPECT_EQ(ToHex(ReadSome(*line)), ToHex(expected));
    EXPECT_EQ(line->Image(), model.Image().Bytes());
    LogClose();
    const std::string log = ReadLogFolder(folder.Path());
    EXPECT_EQ(CountOccurrences(log, "should be larger than 2"), 0) << log;
    EXPECT_EQ(CountOccurrences(log, "CRC checking fails."), 1) << log;  // the one bad frame
}

TEST(ModelLine, ThrottleHoldsTheWriterAndTheAnswerForTheirLineTime) {
    auto clock = std::make_shared<ManualLineClock>();
    auto line = OpenLine({"--mode", "ds", "--throttle", "115200"}, 115200, clock);
    const Bytes text(1152, 'a');  // 100 ms at 10 bits a byte, echoed as long again
    const auto start = clock->Now();
    ASSERT_EQ(Write(*line, text), 0);
    EXPECT_EQ(clock->Now() - start, std::chrono::milliseconds(100));
    EXPECT_TRUE(ReadSome(*line, 50, 0).empty());
    EXPECT_EQ(ReadSome(*line, 1000, 30), text);
    // The echo crossed the line after the request: it was all there 200 ms after the write began.
    EXPECT_EQ(clock->Now() - start, std::chrono::milliseconds(200 + 30));
}

}  // namespace
