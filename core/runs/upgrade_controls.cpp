#include "runs/upgrade_controls.h"

#include "model/control_ids.h"
#include "model/device_types.h"
#include "model/station_view.h"
#include "model/texts.h"

namespace quillane {
namespace {

constexpr int kSearchControls[] = {kIdFindType, kIdKeyboard, kIdFind, kIdModifyIP, kIdOpen};
constexpr int kTableButtons[] = {kIdSelectAll, kIdCancel};

void EnableAll(StationView& view, const auto& ids, bool enabled) {
    for (int id : ids) view.EnableControl(id, enabled);
}

}  // namespace

void LockControlsForUpgrade(StationView& view, int language) {
    view.EnableControl(kIdStartIP, false);
    view.EnableControl(kIdEndIP, false);
    EnableAll(view, kSearchControls, false);
    if (LanguageHasTexts(language)) view.SetCaption(kIdUpgrade, Texts(language).stop);
    EnableAll(view, kTableButtons, false);
    EnableAll(view, kRunLockedTypeBoxes, false);
}

void ReturnControlsAfterUpgrade(StationView& view, int language) {
    const bool rangeSearch = view.FindTypeSelection() != 0;
    view.EnableControl(kIdStartIP, rangeSearch);
    view.EnableControl(kIdEndIP, rangeSearch);
    EnableAll(view, kSearchControls, true);
    if (LanguageHasTexts(language)) view.SetCaption(kIdUpgrade, Texts(language).upgrade);
    EnableAll(view, kTableButtons, true);
    EnableAll(view, kRunLockedTypeBoxes, true);
}

}  // namespace quillane
