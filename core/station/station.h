#pragma once

// The station: the main window without its widgets. The Qt window (and every
// other front end) owns one and forwards user input to it. The long-lived
// values it works on are its state (model/station_state.h), which the workers
// below get as their context; the station adds the handlers of the window's
// controls, the life cycle (initialise, close) and the settings files.

#include <string>

#include "model/station_state.h"
#include "model/station_view.h"
#include "support/exe_dir.h"
#include "support/helper_program.h"

namespace quillane {

class Station : public StationState {
public:
    explicit Station(StationView& view, std::string appDir = ExecutableDirectory(),
                     StationNetwork network = StationNetwork{}, SettingsFiles settings = SettingsFiles::Used);
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // Window life cycle.
    void Initialise();
    // The closing procedure: false when refused (an upgrade runs, the operator
    // is told); true when the services are stopped and the window may end.
    bool Close();
    // The system's request to end (logout, a service manager, kill): never
    // refused, not even during an upgrade run, which is the operator's reason
    // to keep the window. The services stop with their bounded waits and the
    // TFTP log records "stopped".
    void CloseForSystem();

    // Handlers of the window's controls, on the GUI thread.
    void OnFindTypeChange();
    void OnFind();
    void OnTypeFilterClick(int boxId);
    void OnKeyboard();
    void OnOpen();
    void OnTableClick(int firstSelectedRow);  // -1 when no row is selected
    void OnSelectAll();
    void OnCancel();
    void OnModifyIP();
    void OnUpgrade();

    // Starts a helper program by its command line (the window's Keyboard
    // buttons); tests replace it.
    HelperStarter m_startHelperProgram;

private:
    void ApplyTexts();
    void StartServices();
    void StopServices();
};

}  // namespace quillane
