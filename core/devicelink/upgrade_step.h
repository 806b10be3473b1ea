#pragma once

namespace quillane {

class Station;

// The time-out side of an upgrade run; called by the command loop on every
// pass while m_bUpgrading is 1.
void UpgradeStep(Station& station);

}  // namespace quillane
