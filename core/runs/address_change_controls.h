#pragma once

// The window's controls around an address-change run: locked when the run is
// handed to the command loop, given back when the batch ends.

namespace quillane {

class StationView;

// Everything but the Modify IP button (captioned "Stop" for the run), the file
// path field and the boxes 1048 to 1050.
void LockControlsForAddressChange(StationView& view, int language);
// The idle window again; the range addresses only when a range search is chosen.
void ReturnControlsAfterAddressChange(StationView& view, int language);

}  // namespace quillane
