#include "operator_rig.h"

#include <cstdio>

#include "app/program_mark.h"

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
    if (op.IsRunning()) op.Stop();
    rig.StopSimulator();
    LogClose();
}

void OperatorDownloadTest::Prepare(uint32_t loadSize, const std::vector<std::string>& simOptions) {
    const std::string program = rig.Folder().File("program");
    // A stand-in image: vexlor-pack takes it for the program by its mark.
    ASSERT_TRUE(WriteWholeFile(program, std::string(8192, '\x5A') + ProgramMark()));
    ASSERT_TRUE(rig.PackLoad(loadSize, program));
    ASSERT_TRUE(rig.StartSimulator(simOptions)) << rig.SimulatorErrors();
    setenv("VEXLOR_REGISTRY", rig.SettingsPath().c_str(), 1);
    ASSERT_EQ(LogOpen("SOFTWARE\\Vexlor"), 1);
    ASSERT_TRUE(file.Open(rig.PackedPath()));
    op.SetNotifyTarget(&target);
    ASSERT_EQ(op.SetLoad(&file), 1);
    ASSERT_EQ(op.Parameters().GetLoadSize(), loadSize);
    op.SetProgramFile(&file);
    op.SetComPort(DownloadRig::kPort);
    target.Clear();
}

uint32_t OperatorDownloadTest::RunToEnd(int limitMs) {
    op.Start();
    if (!target.WaitForStatus(IsFinalStatus, limitMs)) return 0;
    const auto statuses = target.Statuses();
    return statuses.empty() ? 0 : statuses.back();
}

bool OperatorDownloadTest::WaitWorkerEnded(int limitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (op.IsRunning()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void OperatorDownloadTest::ExpectImageIsLoad() {
    ASSERT_EQ(rig.StopSimulator(), 0);
    std::string why;
    EXPECT_TRUE(rig.ImageMatchesLoad(&why)) << why;
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
