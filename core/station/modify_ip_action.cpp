// The Modify IP button: asks for the new settings and hands an address-change
// run to the command loop; during a run the same button asks it to stop.

#include "model/texts.h"
#include "runs/run_controls.h"
#include "station/station.h"
#include "support/ipv4.h"

namespace quillane {
namespace {

// The first chosen row's settings in display order, all 0 when none is chosen.
IpDeviceValues FirstChosenDevice(const DeviceTable& table) {
    for (int row = 0; row < table.RowCount(); ++row) {
        const DeviceRow cells = table.Row(row);
        if (cells[kColChoice] != kCheckMark) continue;
        auto read = [&cells](int column) {
            return IPv4Address::Parse(cells[static_cast<size_t>(column)]).Number();
        };
        return {read(kColIP), read(kColMask), read(kColGateway), read(kColServer), read(kColStandbyServer)};
    }
    return {};
}

}  // namespace

void Station::OnModifyIP() {
    if (m_bModifyContinue.load() != 0) {
        if (m_bModifyContinue.load() == 1 && m_bModifyRequest.load() == 1) m_bModifyContinue = 0;  // Stop
        return;
    }
    if (m_bModifyRequest.load() != 0) return;  // stopping: the batch is finishing
    // An ending upgrade run gives the controls back before it clears its
    // flags: a press in between does nothing, as one of Upgrade does.
    if (m_bUpgrading.load() != 0 || m_bUpgradeContinue.load() != 0) return;
    if (RefusedForPendingSearch()) return;

    const int language = m_nLanguage.load();
    const std::optional<IpSettingsValues> entered =
        View().AskIpSettings(m_strAppDir, language, FirstChosenDevice(m_DeviceList));
    if (!entered) return;
    if (m_DeviceList.FirstChosenRow() < 0) {
        if (LanguageHasTexts(language)) {
            const TextTable& texts = Texts(language);
            View().ShowMessage(texts.msgNoDeviceToModify, texts.captionError);
        }
        return;
    }
    m_bChangeIP = entered->ipCheck;
    m_bChangeMask = entered->maskCheck;
    m_bChangeGateway = entered->gatewayCheck;
    m_bChangeServer = entered->serverCheck;
    m_bChangeBackupServer = entered->backupServerCheck;
    m_nEditType = entered->editType;
    m_dwNewIP = entered->ip;
    m_dwNewMask = entered->mask;
    m_dwNewGateway = entered->gateway;
    m_dwNewServer = entered->server;
    m_dwNewBackupServer = entered->backupServer;
    RefreshLocalAddresses();

    LockControlsForRun(View(), language, RunButton::kModifyIP);
    m_DeviceList.m_bSortEnabled = 0;  // rows keep their positions while the batch addresses them by index
    // The settings are in place before the request: the loop reads them once it
    // sees it. The batch stops when it finds m_bModifyContinue at 0, so that
    // flag is raised first.
    NotifyRunStarted(RunKind::kAddressChange);
    m_bModifyContinue = 1;
    m_bModifyRequest = 1;
    // Wake the loop so the batch starts now rather than after its idle wait.
    m_hLoopEvent.Set();
}

}  // namespace quillane
