// Handlers of the search band: find type, Find, the type filter, Keyboard and Open.
// They check the operator's input, record choices and raise requests; the
// command loop does the searching.

#include "mainwindow/control_ids.h"
#include "mainwindow/settings.h"
#include "mainwindow/station.h"
#include "mainwindow/texts.h"
#include "mainwindow/type_filter.h"
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
    for (const TypeFilterBox& box : kTypeFilterBoxes) anyType = anyType || (this->*box.flag).load() != 0;
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
    for (size_t i = 0; i < kTypeFilterBoxes.size(); ++i) {
        if (kTypeFilterBoxes[i].boxId != boxId) continue;
        std::atomic<int>& flag = this->*kTypeFilterBoxes[i].flag;
        const int inverted = flag.load() == 0 ? 1 : 0;
        flag = inverted;
        if (UsesSettingsFiles()) WriteFilter(m_strAppDir, static_cast<int>(i), inverted);
        return;
    }
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
