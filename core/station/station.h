#pragma once

// The station: the main window without its widgets. The Qt window (and every
// other front end) owns one and forwards user input to it. The long-lived
// values it works on are its state (runs/station_state.h), which the workers
// below get as their context; the station adds the handlers of the window's
// controls, the life cycle (initialise, close) and the settings files.

#include <string>

#include "model/station_view.h"
#include "runs/address_change_batch.h"
#include "runs/station_state.h"
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

    // Verbs: the runs every front end starts, each from a request that carries
    // its values (the window's handlers build them from the controls; the
    // command-line tool from its arguments). Each checks its request as the
    // window does, tells the operator why it refuses (false), and otherwise
    // hands the run to the command loop. On the thread that takes presses.
    bool Search(const SearchRequest& request);
    bool ChangeAddresses(AddressChangeRequest request);
    // The batch the request would send to the table's chosen rows now, with
    // the workstation's addresses asked again; nothing is sent. Hand it back
    // in the request's `batch` to send exactly that.
    AddressChangeBatch PlanAddressChanges(const AddressChangeRequest& request);
    bool Upgrade(const UpgradeRequest& request);
    // Checks the rows of a choice (without clearing others): the rows a
    // change or an upgrade will take. Refused (nothing checked) while an
    // upgrade runs, as a click on a row is.
    ChosenDevices ChooseRows(const RowChoice& choice);
    // Asks the running address change or upgrade to end: the batch between
    // two rows, the upgrade run after the current device.
    void StopRun();

    // Starts a helper program by its command line (the window's Keyboard
    // buttons); tests replace it.
    HelperStarter m_startHelperProgram;

    // How the window's upgrade runs go (UpgradeParallel, UpgradeMaxFailures
    // of "Quillane.ini"); GUI thread, read at initialisation.
    int m_upgradeParallel = 1;
    int m_upgradeMaxFailures = 0;

private:
    // True, with a hint to the operator, while a search is requested and the
    // loop has not run it yet: the search is about to replace the table, so
    // no run may start on its rows.
    bool RefusedForPendingSearch();
    bool AddressChangeRefused();
    bool UpgradeRefused();
    void ApplyTexts();
    void StartServices();
    void StopServices();
};

}  // namespace quillane
