#include "runs/address_change_sender.h"

#include "model/station_state.h"
#include "model/texts.h"
#include "runs/address_change_controls.h"
#include "runs/address_change_plan.h"
#include "support/tick_clock.h"

namespace quillane {
namespace {

AddressChangeSettings ConfirmedSettings(const StationState& s) {
    AddressChangeSettings settings;
    settings.changeIp = s.m_bChangeIP != 0;
    settings.changeMask = s.m_bChangeMask != 0;
    settings.changeGateway = s.m_bChangeGateway != 0;
    settings.changeServer = s.m_bChangeServer != 0;
    settings.changeBackupServer = s.m_bChangeBackupServer != 0;
    settings.editType = s.m_nEditType;
    settings.ip = IPv4Address(s.m_dwNewIP);
    settings.mask = IPv4Address(s.m_dwNewMask);
    settings.gateway = IPv4Address(s.m_dwNewGateway);
    settings.server = IPv4Address(s.m_dwNewServer);
    settings.backupServer = IPv4Address(s.m_dwNewBackupServer);
    return settings;
}

AddressChangePlanner MakePlanner(StationState& station) {
    std::vector<std::string> numbers;
    for (int row = 0; row < station.m_DeviceList.RowCount(); ++row) {
        numbers.push_back(station.m_DeviceList.Cell(row, kColDeviceNo));
    }
    const std::shared_ptr<const LocalAddressLists> local = station.LocalAddresses();
    return AddressChangePlanner(ConfirmedSettings(station), local->ips, local->masks,
                                IPv4Address(station.Network().commandGroup), CountGroupNumbers(numbers));
}

void SendCommand(StationState& station, const RowPlan& plan) {
    station.m_DestAddr.SetAddress(plan.destination.NetworkOrder());
    SocketSendTo(station.m_DeviceEndpoint.socket, plan.command.data(), plan.command.size(),
                 station.m_DestAddr.Get());
}

enum class RowResult { kDone, kRangeError };

RowResult ChangeRow(StationState& station, AddressChangePlanner& planner, int row, const DeviceRow& cells) {
    DeviceTable& table = station.m_DeviceList;
    const int language = station.m_nLanguage.load();
    const RowPlan plan = planner.PlanRow(cells);
    if (plan.action == RowPlan::Action::kRefuse) {
        if (LanguageHasTexts(language)) table.SetCell(row, kColState, Texts(language).stateFailure);
        return RowResult::kDone;
    }
    // Waiting for the device's result; the answer check fails it when none comes.
    table.SetCell(row, kColState, Texts(language).stateModifying);
    table.SetCell(row, kColMarker, "1");
    if (plan.action == RowPlan::Action::kRangeError) return RowResult::kRangeError;
    if (plan.action == RowPlan::Action::kSendNothing) return RowResult::kDone;
    SendCommand(station, plan);
    return planner.CommandSent() ? RowResult::kDone : RowResult::kRangeError;
}

void ShowRangeError(StationState& station) {
    const int language = station.m_nLanguage.load();
    if (!LanguageHasTexts(language)) return;
    const TextTable& texts = Texts(language);
    station.View().ShowMessage(texts.msgIpOutOfRange, texts.captionError);
}

}  // namespace

void SendAddressChanges(StationState& station) {
    AutoLock lock(&station.m_ListLock);
    AddressChangePlanner planner = MakePlanner(station);
    DeviceTable& table = station.m_DeviceList;
    int handled = 0;
    // The row count is read again after each row.
    for (int row = 0; row < table.RowCount(); ++row) {
        if (station.m_bModifyContinue.load() == 0) break;  // the operator pressed Stop
        const DeviceRow cells = table.Row(row);
        if (cells[kColChoice] != kCheckMark) continue;
        if (ChangeRow(station, planner, row, cells) == RowResult::kRangeError) {
            ShowRangeError(station);
            break;
        }
        if (++handled % kChangePauseEvery == 0) TickClock::Sleep(kChangePauseMs);
    }
    ReturnControlsAfterAddressChange(station.View(), station.m_nLanguage.load());
}

}  // namespace quillane
