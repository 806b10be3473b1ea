#pragma once

// What the tool concludes about each device after a run, read from the
// values of the rows' states, never from their texts: the verdict is the same
// whatever the language of the window's texts.

#include <string>

#include "model/row_state.h"

namespace quillane::cli {

// An address change: did the device confirm its new settings?
bool ChangeSucceeded(const RowState& state);

// An upgrade run: empty when the device acknowledged the whole file,
// otherwise why not ("failed: ...", "not upgraded: ...").
std::string UpgradeVerdict(const RowState& state);

}  // namespace quillane::cli
