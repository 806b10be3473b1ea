#include "runs/address_change_sender.h"

#include "model/control_ids.h"
#include "model/texts.h"
#include "runs/address_change_batch.h"
#include "runs/run_controls.h"
#include "runs/station_state.h"
#include "support/tick_clock.h"

namespace quillane {
namespace {

enum class RowResult { kDone, kRangeError };

RowResult ChangeRow(StationState& station, const BatchRow& r) {
    DeviceTable& table = station.m_DeviceList;
    const int language = station.m_nLanguage.load();
    if (r.plan.action == RowPlan::Action::kRefuse) {
        const RowState refused = RowState::Failed(r.plan.refusal, DescribeRefusal(r, 2));
        table.SetRowState(r.row, refused, StateText(refused, language));
        return r.rangeErrorAfter ? RowResult::kRangeError : RowResult::kDone;
    }
    // Waiting for the device's result; the answer check fails it when none comes.
    table.SetRowState(r.row, RowState::Waiting(), StateText(RowState::Waiting(), language));
    table.SetCell(r.row, kColMarker, "1");
    if (r.plan.action == RowPlan::Action::kRangeError) return RowResult::kRangeError;
    if (r.plan.action == RowPlan::Action::kSendNothing) return RowResult::kDone;
    station.m_DeviceLink.SendTo(r.plan.destination, r.plan.command);
    return r.rangeErrorAfter ? RowResult::kRangeError : RowResult::kDone;
}

void ShowRangeError(StationState& station) {
    const int language = station.m_nLanguage.load();
    if (!LanguageHasTexts(language)) return;
    const TextTable& texts = Texts(language);
    station.View().ShowMessage(texts.msgIpOutOfRange, texts.captionError);
}

}  // namespace

AddressChangeBatch PlanBatchOverTable(StationState& station, const AddressChangeRequest& request) {
    AutoLock lock(&station.m_ListLock);
    std::vector<DeviceRow> rows;
    for (int row = 0; row < station.m_DeviceList.RowCount(); ++row)
        rows.push_back(station.m_DeviceList.Row(row));
    return PlanAddressChangeBatch(rows, request.settings, request.plan.get(), *station.LocalAddresses(),
                                  IPv4Address(station.Network().commandGroup));
}

void SendAddressChanges(StationState& station, const AddressChangeRequest& request) {
    AutoLock lock(&station.m_ListLock);
    // Worked out as a whole first: the conflict rule needs every chosen row's new address.
    const AddressChangeBatch batch = request.batch ? *request.batch : PlanBatchOverTable(station, request);
    int handled = 0;
    for (const BatchRow& r : batch.rows) {
        if (station.m_bModifyContinue.load() == 0) break;  // the operator pressed Stop
        if (ChangeRow(station, r) == RowResult::kRangeError) {
            ShowRangeError(station);
            break;
        }
        if (++handled % kChangePauseEvery == 0) TickClock::Sleep(kChangePauseMs);
    }
    // Refused rows show the failure text like silent ones: the note line says why.
    if (const std::string refused = DescribeRefusedRows(batch, station.m_nLanguage.load()); !refused.empty())
        station.View().SetCaption(kIdNoteLine, refused);
    ReturnControlsAfterRun(station.View(), station.m_nLanguage.load(), RunButton::kModifyIP,
                           request.rangeSearchChosen);
}

}  // namespace quillane
