// SPDX-License-Identifier: Apache-2.0
#include "operator_rig.h"

#include <algorithm>

#include "packed_load.h"

void RecordingTarget::Post(uint32_t message, uintptr_t value) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages.push_back({message, value});
    }
    m_posted.notify_all();
}

void RecordingTarget::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.clear();
}

std::vector<RecordingTarget::Message> RecordingTarget::Messages() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

std::vector<uint32_t> RecordingTarget::Statuses() const {
    std::vector<uint32_t> statuses;
    for (const auto& m : Messages()) {
        if (m.message == WM_DL_STATUS) statuses.push_back(static_cast<uint32_t>(m.value));
    }
    return statuses;
}

std::vector<uint32_t> RecordingTarget::Percentages() const {
    std::vector<uint32_t> percentages;
    for (const auto& m : Messages()) {
        if (m.message == WM_DL_PROGRESS) percentages.push_back(static_cast<uint32_t>(m.value));
    }
    return percentages;
}

bool RecordingTarget::WaitForStatus(bool (*predicate)(uint32_t), int limitMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_posted.wait_for(lock, std::chrono::milliseconds(limitMs), [&] {
        for (const auto& m : m_messages) {
            if (m.message == WM_DL_STATUS && predicate(static_cast<uint32_t>(m.value))) return true;
        }
        return false;
    });
}

void OperatorDownloadTest::TearDown() {
    if (op && op->IsRunning()) op->Stop();
    LogClose();
}

SimOptions OperatorDownloadTest::SimOptionsOf(const std::vector<std::string>& args) {
    SimOptions options;
    EXPECT_EQ(ParseSimOptions(args, options), "");
    return options;
}

void OperatorDownloadTest::Prepare(uint32_t loadSize, const std::vector<std::string>& simOptions) {
    load = TestLoad(loadSize);
    const std::string packed = folder.File("vexlor-packed");
    ASSERT_EQ(PackLoadIntoProgram(folder.Path(), load, kLoadVersion, packed), "");
    TestSettings settings;
    settings.logPrefix = folder.File("log-");
    settings.ports["handset-model"] = kPort;  // the line opens whatever the map names
    ASSERT_TRUE(UseSettings(folder.File("settings.reg"), settings));
    ASSERT_EQ(LogOpen("SOFTWARE\\Vexlor"), 1);

    auto line = std::make_unique<ModelLine>(SimOptionsOf(simOptions));
    handset = line.get();
    op = std::make_unique<CDLOperator>(std::move(line));
    ASSERT_TRUE(file.Open(packed));
    op->SetNotifyTarget(&target);
    ASSERT_EQ(op->SetLoad(&file), 1);
    ASSERT_EQ(op->Parameters().GetLoadSize(), loadSize);
    op->SetProgramFile(&file);
    op->SetComPort(kPort);
    target.Clear();
}

uint32_t OperatorDownloadTest::RunToEnd(int limitMs) {
    op->Start();
    if (!target.WaitForStatus(IsFinalStatus, limitMs)) return 0;
    const auto statuses = target.Statuses();
    return statuses.empty() ? 0 : statuses.back();
}

bool OperatorDownloadTest::WaitWorkerEnded(int limitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (op->IsRunning()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void OperatorDownloadTest::ExpectImageIsLoad() {
    ASSERT_FALSE(handset->Unplugged()) << handset->NotesText();  // the handset never dropped the line
    std::string why;
    EXPECT_TRUE(ImageMatchesLoad(handset->Image(), load, &why)) << why;
    ExpectPortKeptTheToolsSettings();
}

void OperatorDownloadTest::ExpectPortKeptTheToolsSettings() {
    using Kind = InProcessLine::Event::Kind;
    const std::vector<InProcessLine::Event> events = handset->Events();
    ASSERT_FALSE(events.empty());
    // Closes inside the run leave the port as the tool set it; only the run's end gives it back.
    EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const auto& e) { return e.kind == Kind::kRestore; }), 1);
    EXPECT_EQ(events.back().kind, Kind::kRestore);
    // The switch to download mode goes out at the rate the handset was found and asked at.
    const std::vector<uint8_t> versionQuery = {0x4B, 0x00, 0x01, 0x00, 0xA4, 0x33, 0x7E};
    const std::vector<uint8_t> changeMode = {0x3A, 0xA1, 0x6E, 0x7E};
    const std::vector<uint32_t> asked = handset->RatesOfWritesHolding(versionQuery);
    const std::vector<uint32_t> switched = handset->RatesOfWritesHolding(changeMode);
    ASSERT_FALSE(asked.empty());
    ASSERT_EQ(switched.size(), 1u);
    EXPECT_EQ(switched.front(), asked.back());
}

void OperatorDownloadTest::ExpectProgressShape() {
    const auto percentages = target.Percentages();
    ASSERT_GE(percentages.size(), 2u);
    EXPECT_EQ(percentages.front(), 0u);
    EXPECT_EQ(percentages.back(), 100u);
    for (size_t i = 1; i + 1 < percentages.size(); ++i) {
        EXPECT_GT(percentages[i], percentages[i - 1]) << i;
        EXPECT_LT(percentages[i], 100u) << i;
    }
}
