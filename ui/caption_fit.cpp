#include "caption_fit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>

namespace {

constexpr int kSmallestPixelSize = 9;

// Width the caption needs in `font`, including what the control draws around it.
int NeededWidth(const QWidget* control, const QFont& font, const QString& text) {
    const int textWidth = QFontMetrics(font).horizontalAdvance(text);
    if (const auto* box = qobject_cast<const QCheckBox*>(control)) {
        QStyleOptionButton option;
        option.initFrom(box);
        const int indicator = box->style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, box);
        const int spacing = box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, box);
        return indicator + spacing + textWidth + 2;
    }
    if (qobject_cast<const QAbstractButton*>(control)) return textWidth + 8;
    if (const auto* combo = qobject_cast<const QComboBox*>(control)) {
        int widest = 0;
        for (int i = 0; i < combo->count(); ++i)
            widest = std::max(widest, QFontMetrics(font).horizontalAdvance(combo->itemText(i)));
        return widest + combo->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 12;
    }
    return textWidth + 1;
}

void SetText(QWidget* control, const QString& text) {
    if (auto* button = qobject_cast<QAbstractButton*>(control)) button->setText(text);
    if (auto* label = qobject_cast<QLabel*>(control)) label->setText(text);
}

}  // namespace

void FitItems(QComboBox* combo) {
    combo->setFont(QFont());
    QFont font = combo->font();
    while (NeededWidth(combo, font, QString()) > combo->width() && font.pixelSize() > kSmallestPixelSize)
        font.setPixelSize(font.pixelSize() - 1);
    if (font.pixelSize() != combo->font().pixelSize()) combo->setFont(font);
}

void FitCaption(QWidget* control, const QString& text) {
    if (!control) return;
    control->setFont(QFont());  // back to the window's font
    control->setToolTip(QString());
    QFont font = control->font();
    while (NeededWidth(control, font, text) > control->width() && font.pixelSize() > kSmallestPixelSize)
        font.setPixelSize(font.pixelSize() - 1);
    if (font.pixelSize() != control->font().pixelSize()) control->setFont(font);
    const int spare = NeededWidth(control, font, text) - control->width();
    if (spare <= 0) {
        SetText(control, text);
        return;
    }
    const int textRoom = QFontMetrics(font).horizontalAdvance(text) - spare;
    SetText(control, QFontMetrics(font).elidedText(text, Qt::ElideRight, textRoom));
    control->setToolTip(text);
}
