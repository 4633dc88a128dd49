// SPDX-License-Identifier: Apache-2.0
#include "app/common/bench_tiles.h"

#include <algorithm>

#include "app/common/format_text.h"
#include "lang/string_ids.h"

namespace {

using Row = BenchWindowView::Row;
using Tile = BenchWindowView::Tile;
using State = Row::State;

// The reason's first line: the status line, without the advice under it (the details pane and
// the table's tooltip keep the whole).
std::string ShortReason(const Row& row) {
    const std::string& whole = row.resultDetail.empty() ? row.resultLine : row.resultDetail;
    return whole.substr(0, whole.find('\n'));
}

void Ended(Tile& tile, bool done, const Row& row, const TextLookup& text) {
    tile.tone = done ? Tile::Tone::kGreen : Tile::Tone::kRed;
    tile.icon = done ? Tile::Icon::kDone : Tile::Icon::kFailed;
    tile.word = text(done ? lang::IDS_BENCH_DONE : lang::IDS_BENCH_FAILED);
    tile.action = text(done ? lang::IDS_BENCH_TILE_REMOVE : lang::IDS_BENCH_TILE_SWITCH_OFF);
    if (!done) tile.line = ShortReason(row);
}

}  // namespace

Tile TileOf(const std::string& port, const Row& row, const TextLookup& text) {
    Tile tile;
    tile.port = port;
    tile.word = row.stateText;
    tile.esn = row.esn;
    tile.counts =
        FormatTexts(text(lang::IDS_BENCH_TILE_COUNTS), {std::to_string(row.done), std::to_string(row.failed)});
    switch (row.state) {
    case State::kIdle:
        tile.line = row.resultLine;
        tile.esn.clear();
        break;
    case State::kWaiting: tile.icon = Tile::Icon::kWaiting; break;
    case State::kFlashing:
        tile.tone = Tile::Tone::kBlue;
        tile.icon = Tile::Icon::kFlashing;
        tile.showBar = true;
        tile.percent = row.percent;
        tile.figures = std::to_string(row.percent) + " %";
        if (!row.timeLeft.empty()) tile.figures += "   " + FormatText(text(lang::IDS_BENCH_TILE_LEFT), row.timeLeft);
        tile.line = row.resultLine;  // a notice while the port waits for another program
        break;
    case State::kConfirming:
        tile.tone = Tile::Tone::kBlue;
        tile.icon = Tile::Icon::kConfirming;
        tile.showBar = true;
        tile.percent = 100;
        if (!row.timeLeft.empty()) tile.figures = FormatText(text(lang::IDS_BENCH_TILE_LEFT), row.timeLeft);
        break;
    case State::kRemove:
        // Waiting for the handset to go: the tile still says how it ended.
        if (row.outcome != Row::Outcome::kNone) {
            Ended(tile, row.outcome == Row::Outcome::kDone, row, text);
        } else {
            tile.tone = Tile::Tone::kAmber;
            tile.action = text(lang::IDS_BENCH_TILE_REMOVE);
        }
        break;
    case State::kDone: Ended(tile, true, row, text); break;
    case State::kFailed: Ended(tile, false, row, text); break;
    case State::kStopping:
        tile.tone = Tile::Tone::kAmber;
        tile.icon = Tile::Icon::kStopping;
        tile.showBar = true;
        tile.percent = row.percent;
        tile.line = row.resultLine;
        break;
    case State::kStopped:
        Ended(tile, false, row, text);
        tile.word = row.stateText;
        break;
    case State::kHeld:
        tile.tone = Tile::Tone::kAmber;
        tile.icon = Tile::Icon::kHeld;
        tile.line = row.resultLine;
        tile.esn.clear();
        break;
    }
    return tile;
}

bool SameTile(const Tile& a, const Tile& b) {
    return a.port == b.port && a.tone == b.tone && a.icon == b.icon && a.word == b.word && a.showBar == b.showBar &&
           a.percent == b.percent && a.figures == b.figures && a.esn == b.esn && a.line == b.line &&
           a.action == b.action && a.counts == b.counts;
}

bool OnlyFiguresDiffer(const Tile& a, const Tile& b) {
    Tile same = a;
    same.percent = b.percent;
    same.figures = b.figures;
    return SameTile(same, b);
}

TileGrid LayTiles(size_t count, int width, int height, int gap) {
    const int tiles = static_cast<int>(std::clamp<size_t>(count, 1, 4096));
    TileGrid best;
    best.rows = tiles;
    double bestSize = -1;
    for (int columns = 1; columns <= tiles; ++columns) {
        const int rows = (tiles + columns - 1) / columns;
        const double w = (width - gap * (columns + 1)) / static_cast<double>(columns);
        const double h = (height - gap * (rows + 1)) / static_cast<double>(rows);
        const double usable = std::min(h, w / 2.0);
        if (usable > bestSize) {
            bestSize = usable;
            best = {columns, rows};
        }
    }
    return best;
}

TileBox TileBoxOf(size_t index, size_t count, int width, int height, int gap) {
    const TileGrid grid = LayTiles(count, width, height, gap);
    const int column = static_cast<int>(index % static_cast<size_t>(grid.columns));
    const int row = static_cast<int>(index / static_cast<size_t>(grid.columns));
    const double w = std::max(0.0, (width - gap * (grid.columns + 1)) / static_cast<double>(grid.columns));
    const double h = std::max(0.0, (height - gap * (grid.rows + 1)) / static_cast<double>(grid.rows));
    return {static_cast<int>(gap + column * (w + gap)), static_cast<int>(gap + row * (h + gap)), static_cast<int>(w),
            static_cast<int>(h)};
}
