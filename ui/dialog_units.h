#pragma once

#include <QFont>
#include <QRect>

// Dialog units to pixels, as Windows converts them: a horizontal unit is a
// quarter of the dialog font's average character width, a vertical unit an
// eighth of its character height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    int X(int units) const { return MulDiv(units, m_baseX, 4); }
    int Y(int units) const { return MulDiv(units, m_baseY, 8); }
    QRect Rect(int x, int y, int width, int height) const { return QRect(X(x), Y(y), X(width), Y(height)); }
    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }

private:
    static int MulDiv(int value, int numerator, int denominator) {
        return (value * numerator + denominator / 2) / denominator;
    }
    int m_baseX;
    int m_baseY;
};

// The dialogs' font: a face that renders Chinese, at the size of the templates'
// point size on a 96 dpi screen.
QFont DialogFont(int pointSize);
