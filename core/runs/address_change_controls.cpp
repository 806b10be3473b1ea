#include "runs/address_change_controls.h"

#include "model/control_ids.h"
#include "model/device_types.h"
#include "model/station_view.h"
#include "model/texts.h"

namespace quillane {
namespace {

constexpr int kSearchControls[] = {kIdStartIP, kIdEndIP, kIdFindType, kIdKeyboard, kIdFind};
constexpr int kTableButtons[] = {kIdOpen, kIdUpgrade, kIdSelectAll, kIdCancel};

void EnableAll(StationView& view, const auto& ids, bool enabled) {
    for (int id : ids) view.EnableControl(id, enabled);
}

}  // namespace

void LockControlsForAddressChange(StationView& view, int language) {
    EnableAll(view, kSearchControls, false);
    if (LanguageHasTexts(language)) view.SetCaption(kIdModifyIP, Texts(language).stop);
    EnableAll(view, kTableButtons, false);
    EnableAll(view, kRunLockedTypeBoxes, false);
}

void ReturnControlsAfterAddressChange(StationView& view, int language) {
    const bool rangeSearch = view.FindTypeSelection() != 0;
    view.EnableControl(kIdStartIP, rangeSearch);
    view.EnableControl(kIdEndIP, rangeSearch);
    view.EnableControl(kIdFindType, true);
    view.EnableControl(kIdKeyboard, true);
    view.EnableControl(kIdFind, true);
    if (LanguageHasTexts(language)) view.SetCaption(kIdModifyIP, Texts(language).modifyIPAfterRun);
    EnableAll(view, kTableButtons, true);
    EnableAll(view, kRunLockedTypeBoxes, true);
}

}  // namespace quillane
