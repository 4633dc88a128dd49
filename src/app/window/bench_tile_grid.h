// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QWidget>
#include <vector>

#include "app/common/bench_window_view.h"

// The bench window's tiles: one per port, laid out to fill the widget for 1 to 64 ports, each
// painted by itself (the port name large, the state as colour, word and icon together, the bar,
// the ESN, what to do). A changed tile repaints only its own rectangle. A click chooses a port.
class CBenchTileGrid : public QWidget {
    Q_OBJECT
public:
    explicit CBenchTileGrid(QWidget* parent = nullptr);

    void SetCount(size_t count);
    // The tile's check box (whether its port runs at Start) and whether a click may change it.
    void SetChecked(size_t index, bool checked);
    bool Checked(size_t index) const { return index < m_checked.size() && m_checked[index]; }
    void SetCheckable(bool on);
    // The check box's rectangle in a tile.
    QRect CheckRect(size_t index) const;
    void SetTile(size_t index, const BenchWindowView::Tile& tile);
    const BenchWindowView::Tile& TileAt(size_t index) const { return m_tiles.at(index); }
    size_t Count() const { return m_tiles.size(); }
    // The rectangle of a tile in the widget, as laid out now.
    QRect TileRect(size_t index) const;
    int Chosen() const { return m_chosen; }
    void Choose(int index);
    // How many tiles have been painted: a test sees that an unchanged tile is not.
    int Paints() const { return m_paints; }

    // The tile's colours: background and text.
    static QColor Background(BenchWindowView::Tile::Tone tone);
    static QColor Foreground(BenchWindowView::Tile::Tone tone);

signals:
    void chosen(int index);
    void checkToggled(int index, bool checked);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void PaintTile(QPainter& painter, const QRect& rect, const BenchWindowView::Tile& tile, bool chosen) const;

    std::vector<BenchWindowView::Tile> m_tiles;
    std::vector<bool> m_checked;
    bool m_checkable = true;
    int m_chosen = -1;
    int m_paints = 0;
};
