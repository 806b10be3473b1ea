// The Upgrade button: starts a run over the chosen devices, or, during a run,
// asks it to end after the current device.

#include "link/tftp_server.h"
#include "model/texts.h"
#include "runs/run_controls.h"
#include "runs/upgrade_preflight.h"
#include "runs/upgrade_step.h"
#include "station/station.h"
#include "support/file_status.h"

namespace quillane {

void Station::OnUpgrade() {
    if (m_bUpgradeContinue.load() != 0) {
        StopRun();
        return;  // the run ends after the current device, silently
    }
    Upgrade(UpgradeRequest{UpdateFile(), View().FindTypeSelection() != 0, m_upgradeParallel,
                           m_upgradeMaxFailures});
}

// An address-change batch gives its controls back before it clears its
// flags: a press in between does nothing, or the rest of the batch's end
// would undo this run's start.
bool Station::UpgradeRefused() {
    if (m_bUpgradeContinue.load() != 0) return true;
    if (m_bUpgrading.load() != 0) {
        const TextTable& t = Texts(m_nLanguage);
        View().ShowMessage(t.msgStopPending, t.captionHint);
        return true;
    }
    if (m_bModifyRequest.load() != 0 || m_bModifyContinue.load() != 0) return true;
    return RefusedForPendingSearch();
}

bool Station::Upgrade(const UpgradeRequest& request) {
    if (UpgradeRefused()) return false;
    const TextTable& t = Texts(m_nLanguage);
    if (!IsExistingFile(request.file)) {
        View().ShowMessage(t.msgUpgradeFileMissing, t.captionError);
        return false;
    }
    if (m_DeviceList.FirstChosenRow() < 0) {
        View().ShowMessage(t.msgNoDeviceToUpgrade, t.captionError);
        return false;
    }
    // Nothing goes to a device that nothing could answer.
    const UpgradePreflightProblem problem =
        CheckUpgradePreflight(GatherUpgradePreflight(*this, request.file));
    if (problem.kind != UpgradePreflightProblem::Kind::kNone) {
        View().ShowMessage(DescribePreflightProblem(problem, m_nLanguage), t.captionError);
        return false;
    }
    for (int row = 0; row < m_DeviceList.RowCount(); ++row) m_DeviceList.SetRowState(row, RowState{}, "");
    RefreshLocalAddresses();
    if (!m_pTftpServer) return false;
    const int row = FindNextUpgradeRow(*this, 0, false);
    if (row < 0) return false;  // no chosen device in a local subnet: no run

    // The flags are up before the start event: the loop begins the first
    // device (its State, the bar at 0, the command) when it takes the event.
    SetUpgradeRequest(request);
    SetUpdateFile(request.file);  // what the boot responder and the TFTP server hand out
    NotifyRunStarted(RunKind::kUpgrade);
    m_bUpgrading = 1;
    m_bUpgradeContinue = 1;
    LockControlsForRun(View(), m_nLanguage, RunButton::kUpgrade);
    m_DeviceList.m_bSortEnabled = 0;  // rows are addressed by index for the whole run
    PostLoopEvent(UpgradeStartEvent{row});
    return true;
}

}  // namespace quillane
