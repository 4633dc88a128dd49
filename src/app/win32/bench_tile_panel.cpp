// SPDX-License-Identifier: Apache-2.0
#include "app/win32/bench_tile_panel.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "app/common/bench_tiles.h"
#include "platform/win32/wide_text.h"

namespace {

using Tile = BenchWindowView::Tile;

constexpr int kGap = 6;
constexpr wchar_t kClassName[] = L"VexlorBenchTiles";
LOGFONTW g_face{};  // the dialog's font, taken at Create

COLORREF Background(Tile::Tone tone) {
    switch (tone) {
    case Tile::Tone::kBlue: return RGB(0x15, 0x65, 0xc0);
    case Tile::Tone::kAmber: return RGB(0xf9, 0xa8, 0x25);
    case Tile::Tone::kGreen: return RGB(0x2e, 0x7d, 0x32);
    case Tile::Tone::kRed: return RGB(0xc6, 0x28, 0x28);
    case Tile::Tone::kNeutral: break;
    }
    return RGB(0xe4, 0xe4, 0xe4);
}

// Dark text on the light tiles, white on the dark ones (as the Qt window's).
COLORREF Foreground(Tile::Tone tone) {
    return tone == Tile::Tone::kNeutral || tone == Tile::Tone::kAmber ? RGB(0x10, 0x10, 0x10) : RGB(255, 255, 255);
}

// A GDI object that goes when the scope ends.
struct Owned {
    HGDIOBJ object;
    ~Owned() { DeleteObject(object); }
};

// One line of a tile in the dialog's own face (which shows the Chinese texts too), cut with an
// ellipsis; returns its height.
int PaintLine(HDC dc, const RECT& area, int top, const std::string& text, int pixels, bool bold, int right = 0) {
    if (text.empty() || pixels < 6) return 0;
    LOGFONTW face = g_face;
    face.lfHeight = -pixels;
    face.lfWidth = 0;
    face.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    face.lfQuality = CLEARTYPE_QUALITY;
    const Owned font{CreateFontIndirectW(&face)};
    const HGDIOBJ before = SelectObject(dc, font.object);
    const int height = pixels * 5 / 4;
    RECT line{area.left, top, area.right - right, top + height};
    if (line.bottom <= area.bottom + 2) {
        const std::wstring wide = platform::win32::Widen(text);
        DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &line,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    }
    SelectObject(dc, before);
    return line.bottom <= area.bottom + 2 ? height : 0;
}

// The icon beside the state word, drawn with lines: the same shapes as the Qt window's.
void PaintIcon(HDC dc, const RECT& box, Tile::Icon icon, COLORREF colour) {
    const int side = box.right - box.left;
    const Owned pen{CreatePen(PS_SOLID, std::max(2, side / 8), colour)};
    const HGDIOBJ oldPen = SelectObject(dc, pen.object);
    const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    const int m = side / 8;
    const int l = box.left + m, t = box.top + m, r = box.right - m, b = box.bottom - m;
    const int cx = (l + r) / 2, cy = (t + b) / 2;
    const auto line = [dc](int x0, int y0, int x1, int y1) {
        MoveToEx(dc, x0, y0, nullptr);
        LineTo(dc, x1, y1);
    };
    switch (icon) {
    case Tile::Icon::kIdle: line(l, cy, r, cy); break;
    case Tile::Icon::kWaiting:
        line(l, t, r, t);
        line(r, t, l, b);
        line(l, b, r, b);
        line(r, b, l, t);
        break;
    case Tile::Icon::kFlashing:
        line(cx, t, cx, b);
        line(l, cy, cx, b);
        line(r, cy, cx, b);
        break;
    case Tile::Icon::kConfirming:
        Ellipse(dc, l, t, r, b);
        line(cx, cy, cx, t + (b - t) / 5);
        line(cx, cy, r - (r - l) / 4, cy);
        break;
    case Tile::Icon::kDone:
        line(l, cy, l + (r - l) * 38 / 100, b);
        line(l + (r - l) * 38 / 100, b, r, t);
        break;
    case Tile::Icon::kFailed:
        line(l, t, r, b);
        line(r, t, l, b);
        break;
    case Tile::Icon::kHeld:
        Rectangle(dc, l, cy, r, b);
        Arc(dc, l + (r - l) / 5, t, r - (r - l) / 5, t + (b - t) * 9 / 10, r - (r - l) / 5, cy, l + (r - l) / 5, cy);
        break;
    case Tile::Icon::kStopping: {
        RECT square{l + m, t + m, r - m, b - m};
        const Owned brush{CreateSolidBrush(colour)};
        FillRect(dc, &square, static_cast<HBRUSH>(brush.object));
        break;
    }
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
}

}  // namespace

CBenchTilePanel::~CBenchTilePanel() {
    if (m_window) DestroyWindow(m_window);
}

void CBenchTilePanel::TakeFace(HWND parent) {
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0)), sizeof g_face, &g_face);
    if (m_window) InvalidateRect(m_window, nullptr, FALSE);
}

void CBenchTilePanel::Create(HWND parent, HWND list) {
    m_list = list;
    TakeFace(parent);
    WNDCLASSW kind{};
    kind.lpfnWndProc = &CBenchTilePanel::Procedure;
    kind.hInstance = GetModuleHandleW(nullptr);
    kind.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    kind.lpszClassName = kClassName;
    RegisterClassW(&kind);  // a second window finds it registered: that is fine
    RECT place{};
    GetWindowRect(list, &place);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
    m_window = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, place.left, place.top,
                               place.right - place.left, place.bottom - place.top, parent, nullptr,
                               GetModuleHandleW(nullptr), this);
    // In the table's place: the table hides while the tiles show (it would paint over them).
    ShowWindow(m_list, SW_HIDE);
}

LRESULT CALLBACK CBenchTilePanel::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CBenchTilePanel*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_ERASEBKGND: return 1;  // every pixel is painted
    case WM_PAINT: {
        // The region, not its bounding rectangle: two tiles changed far apart repaint two tiles.
        const Owned region{CreateRectRgn(0, 0, 0, 0)};
        GetUpdateRgn(window, static_cast<HRGN>(region.object), FALSE);
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(window, &paint);
        if (self) self->Paint(dc, static_cast<HRGN>(region.object));
        EndPaint(window, &paint);
        return 0;
    }
    case WM_LBUTTONDOWN:
        if (self) self->Click(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        return 0;
    case WM_NCDESTROY:
        if (self) self->m_window = nullptr;
        break;
    default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

RECT CBenchTilePanel::TileRect(size_t index) const {
    RECT client{};
    GetClientRect(m_window, &client);
    const TileBox box = TileBoxOf(index, m_tiles.size(), client.right, client.bottom, kGap);
    return RECT{box.x, box.y, box.x + box.width, box.y + box.height};
}

RECT CBenchTilePanel::CheckRect(size_t index) const {
    const RECT tile = TileRect(index);
    const int side = std::max(12, std::min<int>((tile.bottom - tile.top) / 6, (tile.right - tile.left) / 10));
    return RECT{tile.left + side / 3, tile.top + side / 3, tile.left + side / 3 + side, tile.top + side / 3 + side};
}

void CBenchTilePanel::SetCount(size_t count) {
    m_tiles.assign(count, Tile{});
    if (m_window) InvalidateRect(m_window, nullptr, FALSE);
}

void CBenchTilePanel::SetTile(size_t index, const Tile& tile) {
    if (index >= m_tiles.size()) return;
    m_tiles[index] = tile;
    if (!m_window) return;
    const RECT rect = TileRect(index);
    InvalidateRect(m_window, &rect, FALSE);
}

void CBenchTilePanel::RefreshChecks() {
    if (m_window) InvalidateRect(m_window, nullptr, FALSE);
}

void CBenchTilePanel::Show(bool on) {
    if (!m_window) return;
    ShowWindow(m_window, on ? SW_SHOW : SW_HIDE);
    ShowWindow(m_list, on ? SW_HIDE : SW_SHOW);
}

void CBenchTilePanel::Paint(HDC dc, HRGN region) const {
    FillRgn(dc, region, GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);
    for (size_t i = 0; i < m_tiles.size(); ++i) {
        const RECT rect = TileRect(i);
        if (RectInRegion(region, &rect)) PaintTile(dc, rect, i);
    }
}

void CBenchTilePanel::PaintTile(HDC dc, const RECT& rect, size_t index) const {
    const Tile& tile = m_tiles[index];
    const COLORREF ink = Foreground(tile.tone);
    {
        const Owned brush{CreateSolidBrush(Background(tile.tone))};
        FillRect(dc, &rect, static_cast<HBRUSH>(brush.object));
    }
    // The check box, in the tile's ink.
    const RECT box = CheckRect(index);
    {
        const Owned pen{CreatePen(PS_SOLID, 2, ink)};
        const HGDIOBJ oldPen = SelectObject(dc, pen.object);
        const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, box.left, box.top, box.right, box.bottom);
        if (m_list && ListView_GetCheckState(m_list, static_cast<int>(index))) {
            const int w = box.right - box.left;
            MoveToEx(dc, box.left + w / 5, (box.top + box.bottom) / 2, nullptr);
            LineTo(dc, box.left + w * 2 / 5, box.bottom - w / 5);
            LineTo(dc, box.right - w / 6, box.top + w / 5);
        }
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
    }
    SetTextColor(dc, ink);
    const int h = rect.bottom - rect.top;
    const int w = rect.right - rect.left;
    const int big = std::min(h * 22 / 100, w * 13 / 100);
    const int middle = std::min(h * 13 / 100, w * 9 / 100);
    const int small = std::min(h * 95 / 1000, w * 7 / 100);
    const RECT area{box.right + big / 3, rect.top + big / 6, rect.right - big * 2 / 5, rect.bottom - big / 6};
    PaintIcon(dc, RECT{area.right - big, area.top + big / 10, area.right, area.top + big / 10 + big}, tile.icon, ink);
    int top = area.top;
    top += PaintLine(dc, area, top, tile.port, big, true, big);
    top += PaintLine(dc, area, top, tile.word, middle, true);
    top += PaintLine(dc, area, top, tile.figures.empty() ? tile.esn : tile.figures, small, false);
    top += PaintLine(dc, area, top, tile.line, small, false);
    top += PaintLine(dc, area, top, tile.action, middle, true);
    const int countsTop = area.bottom - small * 5 / 4;
    if (countsTop >= top) PaintLine(dc, area, countsTop, tile.counts, small, false);
    if (tile.showBar) {
        const int barHeight = std::max(4, h * 6 / 100);
        RECT bar{area.left, countsTop - barHeight - 2, area.right, countsTop - 2};
        const Owned track{CreateSolidBrush(RGB(0x9e, 0xc5, 0xf0))};
        FillRect(dc, &bar, static_cast<HBRUSH>(track.object));
        bar.right = bar.left + (bar.right - bar.left) * static_cast<int>(std::min(tile.percent, 100u)) / 100;
        const Owned fill{CreateSolidBrush(ink)};
        FillRect(dc, &bar, static_cast<HBRUSH>(fill.object));
    }
}

void CBenchTilePanel::Click(int x, int y) {
    const POINT at{x, y};
    for (size_t i = 0; i < m_tiles.size(); ++i) {
        const RECT tile = TileRect(i);
        if (!PtInRect(&tile, at)) continue;
        RECT box = CheckRect(i);
        InflateRect(&box, 6, 6);
        const int row = static_cast<int>(i);
        if (PtInRect(&box, at)) {
            // The table's check box: its notification tells the presenter, or refuses while a run
            // keeps the checks.
            ListView_SetCheckState(m_list, row, !ListView_GetCheckState(m_list, row));
            InvalidateRect(m_window, &tile, FALSE);
        } else {
            ListView_SetItemState(m_list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        }
        return;
    }
}
