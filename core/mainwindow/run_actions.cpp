// Upgrade: its button is wired to this, and the upgrade action is not part of
// this build yet, so a press does nothing.

#include "mainwindow/station.h"

namespace quillane {

void Station::OnUpgrade() {}

}  // namespace quillane
