// SPDX-License-Identifier: Apache-2.0
// The fault decisions of the chaos relay: how often, which faults, what each does to a piece,
// and that a seed replays the same decisions.
#include "chaos_plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Fault = ChaosPlan::Fault;

Bytes Piece(size_t size, uint8_t first = 0x10) {
    Bytes piece(size);
    std::iota(piece.begin(), piece.end(), first);
    return piece;
}

// True when small can be had from large by removing elements.
bool IsSubsequence(const Bytes& small, const Bytes& large) {
    size_t j = 0;
    for (size_t i = 0; i < large.size() && j < small.size(); ++i)
        if (large[i] == small[j]) ++j;
    return j == small.size();
}

TEST(ChaosPlanTest, RateZeroNeverSpoilsAndEmptyPiecesAreLeftAlone) {
    ChaosPlan never(7, 0, 1000);
    for (int i = 0; i < 2000; ++i) {
        Bytes piece = Piece(1 + i % 40);
        const Bytes before = piece;
        EXPECT_EQ(never.Apply(piece).fault, Fault::None);
        EXPECT_EQ(piece, before);
    }
    ChaosPlan always(7, 100, 1000);
    Bytes empty;
    EXPECT_EQ(always.Apply(empty).fault, Fault::None);
    EXPECT_TRUE(empty.empty());
}

TEST(ChaosPlanTest, RateIsTheShareOfSpoiltPieces) {
    ChaosPlan plan(12345, 4, 1000);
    int spoilt = 0;
    for (int i = 0; i < 20000; ++i) {
        Bytes piece = Piece(20);
        spoilt += plan.Apply(piece).fault != Fault::None;
    }
    EXPECT_GT(spoilt, 20000 * 3 / 100);
    EXPECT_LT(spoilt, 20000 * 5 / 100);
}

TEST(ChaosPlanTest, EachFaultDoesWhatItSays) {
    ChaosPlan plan(99, 100, 2000);
    std::map<Fault, int> seen;
    for (int i = 0; i < 3000; ++i) {
        const Bytes before = Piece(1 + i % 30);
        Bytes piece = before;
        const ChaosPlan::Decision decision = plan.Apply(piece);
        ++seen[decision.fault];
        EXPECT_FALSE(decision.note.empty());
        switch (decision.fault) {
        case Fault::Garbage:
            ASSERT_GE(piece.size(), before.size() + 1);
            EXPECT_LE(piece.size(), before.size() + 16);
            EXPECT_TRUE(IsSubsequence(before, piece));
            break;
        case Fault::Drop:
            EXPECT_GE(before.size() - piece.size(), std::min<size_t>(1, before.size()));
            EXPECT_LE(before.size() - piece.size(), 4u);
            EXPECT_TRUE(IsSubsequence(piece, before));
            break;
        case Fault::Corrupt: {
            ASSERT_EQ(piece.size(), before.size());
            size_t changed = 0;
            for (size_t k = 0; k < piece.size(); ++k) changed += piece[k] != before[k];
            EXPECT_EQ(changed, 1u);
            break;
        }
        case Fault::Duplicate: {
            Bytes twice = before;
            twice.insert(twice.end(), before.begin(), before.end());
            EXPECT_EQ(piece, twice);
            break;
        }
        case Fault::Delay:
            EXPECT_EQ(piece, before);
            EXPECT_GE(decision.delayMs, 500);
            EXPECT_LE(decision.delayMs, 2000);
            break;
        case Fault::Disconnect:
            EXPECT_EQ(piece, before);
            EXPECT_EQ(decision.delayMs, 0);
            break;
        case Fault::None: ADD_FAILURE() << "rate 100 left a piece alone"; break;
        }
    }
    for (Fault fault : {Fault::Garbage, Fault::Drop, Fault::Corrupt, Fault::Duplicate, Fault::Delay, Fault::Disconnect})
        EXPECT_GT(seen[fault], 100) << ChaosPlan::FaultName(fault);
    // A dropped line ends a run: it is drawn half as often as each of the others.
    EXPECT_LT(seen[Fault::Disconnect], seen[Fault::Garbage]);
}

TEST(ChaosPlanTest, TheSameSeedReplaysTheSameDecisionsAndAnotherDoesNot) {
    auto decisions = [](uint64_t seed) {
        ChaosPlan plan(seed, 30, 3000);
        std::vector<std::pair<std::string, Bytes>> out;
        for (int i = 0; i < 500; ++i) {
            Bytes piece = Piece(5 + i % 11, static_cast<uint8_t>(i));
            const ChaosPlan::Decision decision = plan.Apply(piece);
            out.emplace_back(decision.note, piece);
        }
        return out;
    };
    EXPECT_EQ(decisions(42), decisions(42));
    EXPECT_NE(decisions(42), decisions(43));
}

}  // namespace
