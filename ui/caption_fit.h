#pragma once

#include <QString>

class QComboBox;
class QWidget;

// Puts a caption into a control whose box the layout fixes. The boxes were
// drawn for the Chinese texts; a caption that does not fit is drawn a little
// smaller, and as a last resort shortened with "…", the whole text then
// showing as the control's tool tip.
void FitCaption(QWidget* control, const QString& text);

// The same for a drop-down list's items: the closed box shows the widest in full.
void FitItems(QComboBox* combo);
