// The Modify IP button: asks for the new settings and hands an address-change
// run to the command loop; during a run the same button asks it to stop.

#include "model/texts.h"
#include "runs/address_change_sender.h"
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

// Nothing may start while a run is on or ending, or a search is about to
// replace the table. A batch that is stopping still holds its request.
bool Station::AddressChangeRefused() {
    if (m_bModifyContinue.load() != 0 || m_bModifyRequest.load() != 0) return true;
    // An ending upgrade run gives the controls back before it clears its
    // flags: a press in between does nothing, as one of Upgrade does.
    if (m_bUpgrading.load() != 0 || m_bUpgradeContinue.load() != 0) return true;
    return RefusedForPendingSearch();
}

void Station::OnModifyIP() {
    if (m_bModifyContinue.load() != 0) {
        StopRun();
        return;
    }
    if (AddressChangeRefused()) return;
    const std::optional<IpSettingsValues> entered =
        View().AskIpSettings(m_strAppDir, m_nLanguage.load(), FirstChosenDevice(m_DeviceList));
    if (!entered) return;
    if (m_DeviceList.FirstChosenRow() >= 0) {
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
    }
    AddressChangeRequest request;
    request.settings = SettingsFromDialog(*entered);
    request.rangeSearchChosen = View().FindTypeSelection() != 0;
    ChangeAddresses(std::move(request));
}

AddressChangeBatch Station::PlanAddressChanges(const AddressChangeRequest& request) {
    RefreshLocalAddresses();
    return PlanBatchOverTable(*this, request);
}

bool Station::ChangeAddresses(AddressChangeRequest request) {
    if (AddressChangeRefused()) return false;
    const int language = m_nLanguage.load();
    if (m_DeviceList.FirstChosenRow() < 0) {
        if (LanguageHasTexts(language)) {
            const TextTable& texts = Texts(language);
            View().ShowMessage(texts.msgNoDeviceToModify, texts.captionError);
        }
        return false;
    }
    RefreshLocalAddresses();
    LockControlsForRun(View(), language, RunButton::kModifyIP);
    m_DeviceList.m_bSortEnabled = 0;  // rows keep their positions while the batch addresses them by index
    NotifyRunStarted(RunKind::kAddressChange);
    RequestAddressChange(std::move(request));
    return true;
}

}  // namespace quillane
