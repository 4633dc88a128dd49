// SPDX-License-Identifier: Apache-2.0
#include "app/window/progress_delegate.h"

#include <QApplication>
#include <QStyleOptionProgressBar>

void CProgressDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QVariant value = index.data(ValueRole);
    if (!value.isValid() || value.toInt() < 0) return QStyledItemDelegate::paint(painter, option, index);
    QStyleOptionProgressBar bar;
    bar.rect = option.rect.adjusted(2, 2, -2, -2);
    bar.state = option.state | QStyle::State_Horizontal;
    bar.minimum = 0;
    bar.maximum = 100;
    bar.progress = value.toInt();
    bar.text = QString::number(bar.progress) + '%';
    bar.textVisible = true;
    bar.textAlignment = Qt::AlignCenter;
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ProgressBar, &bar, painter, widget);
}
