#pragma once

// Where a device in its upgrade stands. The run keeps one per device
// (upgrade_run.h); the station shows the first device in flight through its
// row (m_nUpgradeRow), this phase and its silence stamp (m_dwUpgradeTick),
// written by the command loop alone.

namespace quillane {

enum class UpgradePhase : int {
    kNone,          // no device: the run has not begun its first one yet, or has ended
    kCommandSent,   // the upgrade command went out; the device's loader is to ask for its address
    kBootAnswered,  // the boot reply named the device; its TFTP request is to follow
    kTransferring,  // the device acknowledges blocks of the file
};

}  // namespace quillane
