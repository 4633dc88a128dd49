// SPDX-License-Identifier: Apache-2.0
// What a station's row tells of a handset waited for to restart: its ESN and the confirmation's
// time left, in the command line's words and in the bench window's row.
#include <gtest/gtest.h>

#include <chrono>

#include "app/common/bench_rows.h"
#include "app/runs/station_text.h"
#include "lang/string_ids.h"

namespace {

std::string English(unsigned id) {
    switch (id) {
    case lang::IDS_PHASE_CONFIRMING: return "done: waiting for the handset to restart";
    case lang::IDS_CONFIRMING_LEFT: return "done: waiting for the handset to restart (%s s left)";
    default: return "#" + std::to_string(id);
    }
}

TEST(StationRow, AConfirmationShowsItsTimeLeftAndTheHandsetsEsn) {
    MessageQueue queue;
    PortClaim claim("COM5");
    StationPort port(claim, 1);
    port.phase = StationPort::Phase::kConfirming;
    port.handset = std::make_unique<PortRun>(claim, queue, 1, 0x1000);
    port.handset->esn = 0x7E7D0102;
    const TextLookup text = English;

    // Not started yet (no end known): the plain words.
    EXPECT_EQ(PhaseText(port, text), "done: waiting for the handset to restart");
    port.confirmUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(29500);
    EXPECT_EQ(PhaseText(port, text), "done: waiting for the handset to restart (30 s left)");
    const BenchWindowView::Row row = BenchRowOf(port, BenchTotals{}, text);
    EXPECT_EQ(row.esn, "7E7D0102");
    EXPECT_EQ(row.state, BenchWindowView::Row::State::kConfirming);
    EXPECT_FALSE(row.timeLeft.empty());
    // Over: no time left to show.
    port.confirmUntil = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    EXPECT_EQ(PhaseText(port, text), "done: waiting for the handset to restart");
    EXPECT_TRUE(BenchRowOf(port, BenchTotals{}, text).timeLeft.empty());
}

}  // namespace
