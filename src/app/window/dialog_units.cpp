// SPDX-License-Identifier: Apache-2.0
#include "app/window/dialog_units.h"

#include <QApplication>
#include <QFontMetrics>
#include <algorithm>

namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

CDialogUnits::CDialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = std::max(1, (letters / 26 + 1) / 2);
    m_baseY = std::max(1, metrics.height());
}

int CDialogUnits::ToPixelsX(int units) const { return MulDiv(units, m_baseX, 4); }

int CDialogUnits::ToPixelsY(int units) const { return MulDiv(units, m_baseY, 8); }

QRect CDialogUnits::ToPixels(int x, int y, int cx, int cy) const {
    return QRect(ToPixelsX(x), ToPixelsY(y), ToPixelsX(cx), ToPixelsY(cy));
}

QFont DialogFont(const DialogTemplate& dialog) {
    const QString face = QString::fromUtf8(dialog.fontFace);
    QFont font = face.compare(QLatin1String("System"), Qt::CaseInsensitive) == 0 ? QApplication::font() : QFont(face);
    if (face.contains(QLatin1String("Courier"), Qt::CaseInsensitive)) {
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
    }
    font.setPointSize(dialog.pointSize);
    return font;
}
