// SPDX-License-Identifier: Apache-2.0
// Bringing the handset into DIAG or DL mode on top of the listener's detection.
#include "platform/sleep.h"
#include "sercom_fixture.h"

namespace {

TEST_F(SerComTest, DiagFoundAtOnce) {
    StartHandset(ScriptedHandset::Answer::Diag);
    OpenAndDetect(PHONE_MODE_DIAG);
    EXPECT_EQ(link->IsDIAGConnected(), SERCOM_OK);
    const std::string log = LogText();
    EXPECT_EQ(CountOccurrences(log, "CSerCOMLibrary::IsDIAGConnected\tStart phone mode detection."), 1);
    EXPECT_EQ(CountOccurrences(log, "CSerCOMLibrary::IsDIAGConnected\tDIAG detected."), 1);
}

TEST_F(SerComTest, DlModeCannotGoBackToDiagButCountsAsDl) {
    StartHandset(ScriptedHandset::Answer::Dl);
    OpenAndDetect(PHONE_MODE_DL);
    EXPECT_EQ(link->IsDIAGConnected(), SERCOM_ERR_DL_NOT_DIAG);
    EXPECT_EQ(link->IsDLConnected(), SERCOM_OK);
    const std::string log = LogText();
    EXPECT_EQ(CountOccurrences(log, "Mobile current mode is DL, can not change to DIAG."), 1);
    EXPECT_EQ(CountOccurrences(log, "CSerCOMLibrary::IsDLConnected\tDL detected."), 1);
}

TEST_F(SerComTest, SilentHandsetEndsDetectionAfterThirtyTries) {
    StartHandset(ScriptedHandset::Answer::Silent);
    ASSERT_EQ(link->OpenComport("Target download", kPort), SERCOM_OK);
    EXPECT_EQ(link->IsDIAGConnected(), SERCOM_ERR_NO_MODE);
    const std::string log = LogText();
    EXPECT_EQ(CountOccurrences(log, "Start phone mode detection."), 1);
    EXPECT_EQ(CountOccurrences(log, "CSerCOMLibrary::IsDIAGConnected\tCan not determine phone mode, so wait a moment."),
              30);
    EXPECT_EQ(CountOccurrences(log, "CSerCOMLibrary::IsDIAGConnected\tPhone mode detection failed."), 1);
    EXPECT_GT(handset->ProbeCount(), 0);
}

using SerComTiming = SerComTest;

TEST_F(SerComTiming, StopRequestEndsDetectionEarly) {
    StartHandset(ScriptedHandset::Answer::Silent);
    std::atomic<int32_t> stop{0};
    link->SetStopRequest(&stop);
    ASSERT_EQ(link->OpenComport("Target download", kPort), SERCOM_OK);
    std::atomic<std::chrono::steady_clock::time_point> stopped{};
    std::thread stopper([&] {
        // Once detection is under way (the handset heard its first probe), the stop comes.
        ASSERT_TRUE(WaitFor([&] { return handset->ProbeCount() > 0; }, 10000));
        stopped.store(std::chrono::steady_clock::now());
        stop.store(1);
    });
    EXPECT_EQ(link->IsDLConnected(), SERCOM_ERR_NO_MODE);
    const auto ended = std::chrono::steady_clock::now();
    stopper.join();
    // 30 tries would take 30 pauses of 1000 ms (scaled); the stop ends it within one pause.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(ended - stopped.load()).count(),
              2 * platform::ScaledMs(CSerCOMLibrary::DL_DETECTION_PAUSE_MS) + 100);
    EXPECT_LT(CountOccurrences(LogText(), "Can not determine phone mode, so wait a moment."), 30);
}

}  // namespace
