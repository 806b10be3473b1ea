#include "devicelink/upgrade_step.h"

#include "mainwindow/station.h"

namespace quillane {

// Placeholder until upgrade pacing lands.
void UpgradeStep(Station&) {}

}  // namespace quillane
