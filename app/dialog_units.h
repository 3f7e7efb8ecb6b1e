// Dialog units: positions on the form are given in quarters of the font's average character width
// and eighths of its height, so the form keeps its proportions at any font and screen scale.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QRect>

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font) {
        QFontMetrics fm(font);
        const int alphabet = fm.horizontalAdvance(
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        m_baseX = (alphabet / 26 + 1) / 2;
        m_baseY = fm.height();
    }
    int X(int du) const { return (du * m_baseX + 2) / 4; }
    int Y(int du) const { return (du * m_baseY + 4) / 8; }
    QRect Rect(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }
    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }

private:
    int m_baseX = 6;
    int m_baseY = 13;
};
