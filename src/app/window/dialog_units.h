// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QFont>
#include <QRect>

#include "app/window/dialog_template.h"

// Dialog units to pixels, from the dialog font's metrics: the horizontal base unit is the
// average width of the Latin letters, the vertical one the font's line height; a horizontal
// dialog unit is a quarter of the first, a vertical one an eighth of the second.
class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);

    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }
    int ToPixelsX(int units) const;
    int ToPixelsY(int units) const;
    QRect ToPixels(int x, int y, int cx, int cy) const;

private:
    int m_baseX;
    int m_baseY;
};

// The font a template names, at its point size. "System" stands for the desktop's own
// dialog font; a typewriter face keeps a fixed-pitch fallback where the face is missing.
QFont DialogFont(const DialogTemplate& dialog);
