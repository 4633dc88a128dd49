// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "app/common/bench_window_view.h"
#include "app/common/status_lines.h"

// A port's tile from what its row shows: colour, word and icon for its state, the bar and its
// figures while flashing, the countdown while confirming, the ESN and what to do once it ended.
BenchWindowView::Tile TileOf(const std::string& port, const BenchWindowView::Row& row, const TextLookup& text);

bool SameTile(const BenchWindowView::Tile& a, const BenchWindowView::Tile& b);
