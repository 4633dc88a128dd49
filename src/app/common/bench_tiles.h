// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "app/common/bench_window_view.h"
#include "app/common/status_lines.h"

// A port's tile from what its row shows: colour, word and icon for its state, the bar and its
// figures while flashing, the countdown while confirming, the ESN and what to do once it ended.
BenchWindowView::Tile TileOf(const std::string& port, const BenchWindowView::Row& row, const TextLookup& text);

bool SameTile(const BenchWindowView::Tile& a, const BenchWindowView::Tile& b);
// Whether two tiles differ at most in the bar's percentage and the figures beside it.
bool OnlyFiguresDiffer(const BenchWindowView::Tile& a, const BenchWindowView::Tile& b);

// How count tiles share a width x height area (pixels, gap between and around them): the
// columns and rows that make them as large as they can be for text, a tile's height and no more
// than twice that of its width counting. Both windows lay their tiles out by it.
struct TileGrid {
    int columns = 1;
    int rows = 1;
};
TileGrid LayTiles(size_t count, int width, int height, int gap);
// A tile's rectangle in the area: x, y, width and height.
struct TileBox {
    int x = 0, y = 0, width = 0, height = 0;
};
TileBox TileBoxOf(size_t index, size_t count, int width, int height, int gap);
