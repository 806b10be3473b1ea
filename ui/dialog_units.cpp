#include "dialog_units.h"

#include <QFontMetrics>
#include <QStringList>

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average width over the 52 Latin letters, rounded as Windows rounds it.
    const int width =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (width / 26 + 1) / 2;
    m_baseY = metrics.height();
}

QFont DialogFont(int pointSize) {
    QFont font;
    font.setFamilies(QStringList() << QStringLiteral("Noto Sans CJK SC") << QStringLiteral("Noto Sans CJK")
                                   << QStringLiteral("Microsoft YaHei") << QStringLiteral("sans-serif"));
    font.setPixelSize((pointSize * 96 + 36) / 72);
    return font;
}
