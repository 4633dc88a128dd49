// SPDX-License-Identifier: Apache-2.0
#include "app/window/bench_tile_grid.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "app/common/bench_tiles.h"

namespace {

using Tile = BenchWindowView::Tile;

constexpr int kGap = 6;  // between tiles, in pixels at 100 % scaling

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

// The icon beside the state word: a shape that tells the state without its colour.
void PaintIcon(QPainter& painter, const QRectF& box, Tile::Icon icon, const QColor& colour) {
    painter.save();
    QPen pen(colour, std::max(2.0, box.width() / 8), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const QRectF r = box.adjusted(box.width() / 8, box.height() / 8, -box.width() / 8, -box.height() / 8);
    const QPointF c = r.center();
    switch (icon) {
    case Tile::Icon::kIdle: painter.drawLine(QPointF(r.left(), c.y()), QPointF(r.right(), c.y())); break;
    case Tile::Icon::kWaiting:  // an hourglass
        painter.drawPolygon(QPolygonF({r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()}));
        break;
    case Tile::Icon::kFlashing: {  // an arrow into the handset
        painter.drawLine(QPointF(c.x(), r.top()), QPointF(c.x(), r.bottom()));
        painter.drawLine(QPointF(r.left(), c.y()), QPointF(c.x(), r.bottom()));
        painter.drawLine(QPointF(r.right(), c.y()), QPointF(c.x(), r.bottom()));
        break;
    }
    case Tile::Icon::kConfirming:  // a clock
        painter.drawEllipse(r);
        painter.drawLine(c, QPointF(c.x(), r.top() + r.height() / 5));
        painter.drawLine(c, QPointF(r.right() - r.width() / 4, c.y()));
        break;
    case Tile::Icon::kDone:  // a tick
        painter.drawPolyline(QPolygonF(
            {QPointF(r.left(), c.y()), QPointF(r.left() + r.width() * 0.38, r.bottom()), QPointF(r.right(), r.top())}));
        break;
    case Tile::Icon::kFailed:  // a cross
        painter.drawLine(r.topLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomLeft());
        break;
    case Tile::Icon::kHeld: {  // a padlock
        const QRectF body(r.left(), c.y(), r.width(), r.height() / 2);
        painter.drawRect(body);
        painter.drawArc(QRectF(r.left() + r.width() / 5, r.top(), r.width() * 0.6, r.height() * 0.9), 0, 180 * 16);
        break;
    }
    case Tile::Icon::kStopping:  // a stop square
        painter.setBrush(colour);
        painter.drawRect(r.adjusted(r.width() / 8, r.height() / 8, -r.width() / 8, -r.height() / 8));
        break;
    }
    painter.restore();
}

// One line of a tile, elided to its width; returns the height it took.
int PaintLine(QPainter& painter, const QRect& area, int top, const QString& text, double pixels, bool bold,
              int right = 0) {
    if (text.isEmpty() || pixels < 4) return 0;
    QFont font = painter.font();
    font.setPixelSize(std::max(6, static_cast<int>(pixels)));
    font.setBold(bold);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const QRect line(area.left(), top, area.width() - right, metrics.height());
    if (line.bottom() > area.bottom() + 2) return 0;
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, metrics.elidedText(text, Qt::ElideRight, line.width()));
    return metrics.height();
}

}  // namespace

CBenchTileGrid::CBenchTileGrid(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(240, 120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QColor CBenchTileGrid::Background(Tile::Tone tone) {
    switch (tone) {
    case Tile::Tone::kBlue: return QColor(0x15, 0x65, 0xc0);
    case Tile::Tone::kAmber: return QColor(0xf9, 0xa8, 0x25);
    case Tile::Tone::kGreen: return QColor(0x2e, 0x7d, 0x32);
    case Tile::Tone::kRed: return QColor(0xc6, 0x28, 0x28);
    case Tile::Tone::kNeutral: break;
    }
    return QColor(0xe4, 0xe4, 0xe4);
}

QColor CBenchTileGrid::Foreground(Tile::Tone tone) {
    // Dark text on the light tiles, white on the dark ones: a contrast of at least 4.5 to 1.
    return tone == Tile::Tone::kNeutral || tone == Tile::Tone::kAmber ? QColor(0x10, 0x10, 0x10) : QColor(Qt::white);
}

void CBenchTileGrid::SetCount(size_t count) {
    m_tiles.assign(count, Tile{});
    m_checked.assign(count, false);
    if (m_chosen >= static_cast<int>(count)) m_chosen = -1;
    update();
}

void CBenchTileGrid::SetTile(size_t index, const Tile& tile) {
    if (index >= m_tiles.size()) return;
    m_tiles[index] = tile;
    update(TileRect(index));
}

void CBenchTileGrid::SetChecked(size_t index, bool checked) {
    if (index >= m_checked.size() || m_checked[index] == checked) return;
    m_checked[index] = checked;
    update(TileRect(index));
}

void CBenchTileGrid::SetCheckable(bool on) {
    if (m_checkable == on) return;
    m_checkable = on;
    update();
}

QRect CBenchTileGrid::CheckRect(size_t index) const {
    const QRect rect = TileRect(index);
    const int side = std::max(12, std::min(rect.height() / 6, rect.width() / 10));
    return QRect(rect.left() + side / 3, rect.top() + side / 3, side, side);
}

void CBenchTileGrid::Choose(int index) {
    if (index < -1 || index >= static_cast<int>(m_tiles.size()) || index == m_chosen) return;
    if (m_chosen >= 0) update(TileRect(static_cast<size_t>(m_chosen)));
    m_chosen = index;
    if (m_chosen >= 0) update(TileRect(static_cast<size_t>(m_chosen)));
    emit chosen(index);
}

QRect CBenchTileGrid::TileRect(size_t index) const {
    const TileBox box = TileBoxOf(index, m_tiles.size(), width(), height(), kGap);
    return QRect(box.x, box.y, box.width, box.height);
}

void CBenchTileGrid::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The region, not its bounding rectangle: two tiles changed in opposite corners repaint two
    // tiles, not the grid between them.
    const QRegion& region = event->region();
    for (const QRect& part : region) painter.fillRect(part, palette().window());
    for (size_t i = 0; i < m_tiles.size(); ++i) {
        const QRect rect = TileRect(i);
        if (!region.intersects(rect)) continue;
        PaintTile(painter, rect, m_tiles[i], static_cast<int>(i) == m_chosen);
        // The check box, in the tile's own text colour (greyed while a run keeps it).
        const QRect box = CheckRect(i);
        QColor ink = Foreground(m_tiles[i].tone);
        if (!m_checkable) ink.setAlpha(110);
        painter.setPen(QPen(ink, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(box);
        if (m_checked[i]) {
            painter.drawPolyline(
                QPolygonF({QPointF(box.left() + box.width() * 0.2, box.center().y()),
                           QPointF(box.left() + box.width() * 0.42, box.bottom() - box.height() * 0.2),
                           QPointF(box.right() - box.width() * 0.15, box.top() + box.height() * 0.2)}));
        }
        ++m_paints;
    }
}

void CBenchTileGrid::PaintTile(QPainter& painter, const QRect& rect, const Tile& tile, bool chosen) const {
    const QColor back = Background(tile.tone);
    const QColor text = Foreground(tile.tone);
    painter.setPen(chosen ? QPen(palette().highlight().color(), 4) : QPen(back.darker(130), 1));
    painter.setBrush(back);
    painter.drawRoundedRect(rect.adjusted(1, 1, -1, -1), 6, 6);
    painter.setPen(text);

    // Sizes from the tile's height (and width): the port name about a fifth of it.
    const double h = rect.height();
    const double big = std::min(h * 0.22, rect.width() * 0.16);
    const double middle = std::min(h * 0.13, rect.width() * 0.09);
    const double small = std::min(h * 0.095, rect.width() * 0.07);
    // Room on the left for the check box.
    const int box = std::max(12, std::min(rect.height() / 6, rect.width() / 10));
    const QRect area = rect.adjusted(box * 3 / 2 + 2, static_cast<int>(big * 0.15), -static_cast<int>(big * 0.4),
                                     -static_cast<int>(big * 0.15));
    int top = area.top();
    const int iconSize = static_cast<int>(big);
    PaintIcon(painter, QRectF(area.right() - iconSize, area.top() + big * 0.1, iconSize, iconSize), tile.icon, text);
    top += PaintLine(painter, area, top, FromUtf8(tile.port), big, true, iconSize);
    top += PaintLine(painter, area, top, FromUtf8(tile.word), middle, true);
    const std::string& figures = tile.figures.empty() ? tile.esn : tile.figures;
    top += PaintLine(painter, area, top, FromUtf8(figures), small, false);
    top += PaintLine(painter, area, top, FromUtf8(tile.line), small, false);
    top += PaintLine(painter, area, top, FromUtf8(tile.action), middle, true);

    // The counts along the bottom, the bar above them while it shows.
    QFont font = painter.font();
    font.setPixelSize(std::max(6, static_cast<int>(small)));
    font.setBold(false);
    const int countsHeight = QFontMetrics(font).height();
    const QRect counts(area.left(), area.bottom() - countsHeight, area.width(), countsHeight);
    if (counts.top() >= top) {
        painter.setFont(font);
        painter.drawText(counts, Qt::AlignLeft | Qt::AlignVCenter, FromUtf8(tile.counts));
    }
    if (tile.showBar) {
        const int barHeight = std::max(4, static_cast<int>(h * 0.06));
        const QRect bar(area.left(), counts.top() - barHeight - 2, area.width(), barHeight);
        painter.setPen(Qt::NoPen);
        painter.setBrush(back.lighter(150));
        painter.drawRect(bar);
        painter.setBrush(text);
        painter.drawRect(QRect(bar.left(), bar.top(),
                               bar.width() * static_cast<int>(std::min(tile.percent, 100u)) / 100, bar.height()));
    }
}

void CBenchTileGrid::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    for (size_t i = 0; i < m_tiles.size(); ++i) {
        if (!TileRect(i).contains(at)) continue;
        // A click on the check box (or just around it) checks; elsewhere it chooses the port.
        if (m_checkable && CheckRect(i).adjusted(-6, -6, 6, 6).contains(at)) {
            m_checked[i] = !m_checked[i];
            update(TileRect(i));
            emit checkToggled(static_cast<int>(i), m_checked[i]);
        } else {
            Choose(static_cast<int>(i));
        }
        return;
    }
    QWidget::mousePressEvent(event);
}
