// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <windows.h>

#include <cstddef>
#include <vector>

#include "app/common/bench_window_view.h"

// The bench window's tiles, owner-drawn with GDI over the place of the port table: one per port,
// laid out as the Qt window lays them (LayTiles), the port name large, the state by colour, word
// and icon, the bar, the ESN, what to do and the counts. A changed tile invalidates only its own
// rectangle. A click on a tile's check box flips the check box of the table's row (which tells
// the presenter); a click elsewhere selects that row (whose details the window shows).
class CBenchTilePanel {
public:
    CBenchTilePanel() = default;
    ~CBenchTilePanel();
    CBenchTilePanel(const CBenchTilePanel&) = delete;
    CBenchTilePanel& operator=(const CBenchTilePanel&) = delete;

    // Made as a child of parent at the table's place; list is the table it works through.
    void Create(HWND parent, HWND list);
    // The tiles' typeface from the dialog's font (again after a change of the screen's scaling).
    void TakeFace(HWND parent);
    HWND Handle() const { return m_window; }
    void SetCount(size_t count);
    void SetTile(size_t index, const BenchWindowView::Tile& tile);
    // Repaints the check boxes from the table's.
    void RefreshChecks();
    // The tiles, or (off) the table in their place.
    void Show(bool on);

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    RECT TileRect(size_t index) const;
    RECT CheckRect(size_t index) const;
    void Paint(HDC dc, HRGN region) const;
    void PaintTile(HDC dc, const RECT& rect, size_t index) const;
    void Click(int x, int y);

    HWND m_window = nullptr;
    HWND m_list = nullptr;
    std::vector<BenchWindowView::Tile> m_tiles;
};
