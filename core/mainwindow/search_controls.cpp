// Handlers of the search band: find type, Find, the type filter, Keyboard and Open.
// They check the operator's input, record choices and raise requests; the
// command loop does the searching.

#include "mainwindow/control_ids.h"
#include "mainwindow/device_types.h"
#include "mainwindow/settings.h"
#include "mainwindow/station.h"
#include "mainwindow/texts.h"
#include "support/helper_program.h"

namespace quillane {

void Station::OnFindTypeChange() {
    const int selection = m_view.FindTypeSelection();
    if (selection == 0 || selection == 1) {
        m_view.EnableControl(kIdStartIP, selection == 1);
        m_view.EnableControl(kIdEndIP, selection == 1);
    }
    if (UsesSettingsFiles()) WriteFindType(m_strAppDir, selection);
}

void Station::OnFind() {
    const TextTable& t = Texts(m_nLanguage);
    if (m_view.FindTypeSelection() == 1 && m_view.RangeStart() > m_view.RangeEnd()) {
        m_view.ShowMessage(t.msgStartAboveEnd, t.captionError);
        return;
    }
    bool anyType = false;
    for (const DeviceType& type : kDeviceTypes) anyType = anyType || FilterAdmits(*this, type);
    if (!anyType) {
        m_view.ShowMessage(t.msgNoDeviceType, t.captionError);
        return;
    }
    m_bSearchRequest = 1;
    m_hLoopEvent.Set();
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
    const ScreenRect rect = m_view.ControlScreenRect(kIdEndIP);
    if (m_startHelperProgram) m_startHelperProgram(KeyboardCommandLine(rect.left + 55, rect.top + 60));
}

void Station::OnOpen() {
    const std::optional<std::string> path = m_view.AskForFile("(*.bin)", "*.bin", ".bin");
    if (!path) return;
    SetUpdateFile(*path);
    m_view.SetCaption(kIdFilePath, *path);
    if (UsesSettingsFiles()) WriteUpdateFile(m_strAppDir, *path);
}

}  // namespace quillane
