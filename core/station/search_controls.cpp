// Handlers of the search band: find type, Find, the type filter, Keyboard and Open.
// They check the operator's input, record choices and raise requests; the
// command loop does the searching.

#include "model/control_ids.h"
#include "model/device_types.h"
#include "model/settings.h"
#include "model/texts.h"
#include "station/station.h"
#include "support/helper_program.h"

namespace quillane {

void Station::OnFindTypeChange() {
    const int selection = View().FindTypeSelection();
    if (selection == 0 || selection == 1) {
        View().EnableControl(kIdStartIP, selection == 1);
        View().EnableControl(kIdEndIP, selection == 1);
    }
    if (UsesSettingsFiles()) WriteFindType(m_strAppDir, selection);
}

void Station::OnFind() {
    Search(SearchRequest{View().FindTypeSelection(), View().RangeStart(), View().RangeEnd()});
}

// The range is kept in the settings file here, on the thread of the press,
// before the loop walks it.
bool Station::Search(const SearchRequest& request) {
    const TextTable& t = Texts(m_nLanguage);
    if (request.findType == 1 && request.rangeStart > request.rangeEnd) {
        View().ShowMessage(t.msgStartAboveEnd, t.captionError);
        return false;
    }
    bool anyType = false;
    for (const DeviceType& type : kDeviceTypes) anyType = anyType || FilterAdmits(*this, type);
    if (!anyType) {
        View().ShowMessage(t.msgNoDeviceType, t.captionError);
        return false;
    }
    if (request.IsRangeWalk() && UsesSettingsFiles())
        WriteRange(m_strAppDir, request.rangeStart, request.rangeEnd);
    NotifyRunStarted(RunKind::kSearch);
    RequestSearch(request);
    return true;
}

bool Station::RefusedForPendingSearch() {
    if (m_bSearchRequest.load() == 0) return false;
    const TextTable& t = Texts(m_nLanguage);
    View().ShowMessage(t.msgSearchPending, t.captionHint);
    return true;
}

// The box has toggled itself; the flag is inverted rather than read from the
// box, and stays equal to it because initialisation set the box from the flag.
void Station::OnTypeFilterClick(int boxId) {
    const DeviceType* type = FindTypeBox(boxId);
    if (!type) return;
    std::atomic<int>& flag = this->*type->flag;
    const int inverted = flag.load() == 0 ? 1 : 0;
    flag = inverted;
    if (UsesSettingsFiles()) WriteFilter(m_strAppDir, static_cast<int>(type - kDeviceTypes.data()), inverted);
}

void Station::OnKeyboard() {
    const ScreenRect rect = View().ControlScreenRect(kIdEndIP);
    if (m_startHelperProgram) m_startHelperProgram(KeyboardCommandLine(rect.left + 55, rect.top + 60));
}

void Station::OnOpen() {
    const std::optional<std::string> path = View().AskForFile(FirmwareFileFilter());
    if (!path) return;
    SetUpdateFile(*path);
    View().SetCaption(kIdFilePath, *path);
    if (UsesSettingsFiles()) WriteUpdateFile(m_strAppDir, *path);
}

}  // namespace quillane
