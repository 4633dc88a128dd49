// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QStyledItemDelegate>

// Draws a table cell as a progress bar: the percentage is the item's ValueRole data; a cell with
// none (or a negative one) shows nothing. Cheaper than a widget per row, and never drawn where a
// row has no run.
class CProgressDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int ValueRole = Qt::UserRole + 1;

    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
