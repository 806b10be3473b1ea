#pragma once

// The window's controls around a run: locked when an address change or an
// upgrade begins, given back when it ends. Both runs lock the same controls,
// listed once; each keeps its own button, captioned "Stop" for the run.

#include "model/language.h"

namespace quillane {

class StationView;

// The button that starts and stops a run.
enum class RunButton { kModifyIP, kUpgrade };

// Everything but the run's own button (captioned "Stop"), the file path field
// and the boxes 1048 to 1050, in the window's order.
void LockControlsForRun(StationView& view, Language language, RunButton run);
// The idle window again; the range addresses only when a range search is
// chosen (as it was when the run began: the run locks the find type).
// Modify IP is captioned "Edit IP" after its run.
void ReturnControlsAfterRun(StationView& view, Language language, RunButton run, bool rangeSearchChosen);

}  // namespace quillane
