// Modify IP and Upgrade: their buttons are wired to these, and the address-change
// and upgrade actions are not part of this build yet, so a press does nothing.

#include "mainwindow/station.h"

namespace quillane {

void Station::OnModifyIP() {}

void Station::OnUpgrade() {}

}  // namespace quillane
