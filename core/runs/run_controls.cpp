#include "runs/run_controls.h"

#include <string>

#include "model/control_ids.h"
#include "model/device_types.h"
#include "model/station_view.h"
#include "model/texts.h"

namespace quillane {
namespace {

// The controls a run locks besides the type boxes, in the window's order.
constexpr int kRunLockedControls[] = {kIdStartIP,  kIdEndIP, kIdFindType, kIdKeyboard,  kIdFind,
                                      kIdModifyIP, kIdOpen,  kIdUpgrade,  kIdSelectAll, kIdCancel};

int ButtonId(RunButton run) {
    return run == RunButton::kModifyIP ? kIdModifyIP : kIdUpgrade;
}

const std::string& IdleCaption(RunButton run, const TextTable& texts) {
    return run == RunButton::kModifyIP ? texts.modifyIPAfterRun : texts.upgrade;
}

}  // namespace

void LockControlsForRun(StationView& view, Language language, RunButton run) {
    for (int id : kRunLockedControls) {
        if (id != ButtonId(run)) {
            view.EnableControl(id, false);
        } else if (LanguageHasTexts(language)) {
            view.SetCaption(id, Texts(language).stop);
        }
    }
    for (int id : kRunLockedTypeBoxes) view.EnableControl(id, false);
}

void ReturnControlsAfterRun(StationView& view, Language language, RunButton run, bool rangeSearch) {
    for (int id : kRunLockedControls) {
        if (id == kIdStartIP || id == kIdEndIP) {
            view.EnableControl(id, rangeSearch);
        } else if (id != ButtonId(run)) {
            view.EnableControl(id, true);
        } else if (LanguageHasTexts(language)) {
            view.SetCaption(id, IdleCaption(run, Texts(language)));
        }
    }
    for (int id : kRunLockedTypeBoxes) view.EnableControl(id, true);
}

}  // namespace quillane
