#pragma once

// The window's controls around an upgrade run: locked when the run starts,
// given back when it ends.

namespace quillane {

class StationView;

// Everything but the Upgrade button (captioned "Stop" for the run), the file
// path field and the boxes 1048 to 1050, in the window's order.
void LockControlsForUpgrade(StationView& view, int language);
// The idle window again; the range addresses only when a range search is chosen.
void ReturnControlsAfterUpgrade(StationView& view, int language);

}  // namespace quillane
