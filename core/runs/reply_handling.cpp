#include "runs/reply_handling.h"

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "link/protocol.h"
#include "link/received_datagram.h"
#include "model/control_ids.h"
#include "model/device_types.h"
#include "model/texts.h"
#include "runs/station_state.h"
#include "support/tick_clock.h"

namespace quillane {
namespace {

using CellWrites = std::vector<std::pair<int, std::string>>;

// What a change result means, and its State text where the language writes one.
RowState AddOutcome(CellWrites& writes, Language language, bool succeeded) {
    const RowState outcome =
        succeeded ? RowState::Succeeded() : RowState::Failed(FailureReason::kDeviceRefused);
    if (const std::optional<std::string> text = StateText(outcome, language))
        writes.emplace_back(kColState, *text);
    return outcome;
}

// False for an unknown type code or a type filtered out.
// A reply without a type is always listed, as an unknown device.
bool TypeListed(const StationState& station, const SearchReply& reply) {
    if (!reply.hasType) return true;
    const DeviceType* type = FindDeviceType(reply.typeCode);
    return type && FilterAdmits(station, *type);
}

std::string TypeText(const SearchReply& reply, Language language) {
    if (!LanguageHasTexts(language)) return {};
    return reply.hasType ? DeviceTypeName(reply.typeCode, language) : Texts(language).unknownDevice;
}

// Said once per filling of the table, on the first reply it turns away; the
// next search empties the table and puts the usual note back.
void SayTableFull(StationState& station) {
    station.View().SetCaption(kIdNoteLine, Texts(station.m_nLanguage.load()).noteTableFull);
}

void ListDevice(StationState& station, const SearchReply& reply) {
    if (!TypeListed(station, reply)) return;
    DeviceTable& table = station.m_DeviceList;
    // An existing row is never updated by a search reply: every probe copy is answered.
    if (table.FindRowByDeviceNumber(reply.deviceNumber) >= 0) return;
    const DeviceRow cells{
        std::to_string(table.RowCount() + 1),  // row number, never renumbered
        "",                                    // not chosen
        FormatVersion(reply.version),
        "",  // no state yet
        FormatAddress(reply.ip),
        FormatAddress(reply.mask),
        FormatAddress(reply.gateway),
        FormatAddress(reply.server),
        FormatAddress(reply.standbyServer),
        TypeText(reply, station.m_nLanguage.load()),
        std::to_string(reply.deviceNumber),
        "0",  // no address change awaits an answer
    };
    const int row = table.AppendRow(cells);
    if (row < 0) {  // the table is full: the reply is dropped and counted
        if (table.RefusedRows() == 1) SayTableFull(station);
        return;
    }
    table.SetItemData(row, row);
}

// Each result is written into its row in one step of the table, so a header
// click between finding the row and writing it cannot redirect the result.
void RecordShortResult(StationState& station, const ShortChangeResult& result) {
    station.m_dwModifyTick = GetTickCount();  // restarts the answer time-out, matched or not
    CellWrites writes;
    const RowState outcome = AddOutcome(writes, station.m_nLanguage.load(), result.Succeeded());
    writes.emplace_back(kColMarker, "0");
    station.m_DeviceList.SetCellsOfDevice(result.deviceNumber, writes, outcome);
}

void RecordFullResult(StationState& station, const FullChangeResult& result) {
    station.m_dwModifyTick = GetTickCount();
    CellWrites writes;
    const RowState outcome = AddOutcome(writes, station.m_nLanguage.load(), result.Succeeded());
    if (result.Succeeded()) {
        writes.emplace_back(kColIP, FormatAddress(result.ip));
        writes.emplace_back(kColMask, FormatAddress(result.mask));
        writes.emplace_back(kColGateway, FormatAddress(result.gateway));
        writes.emplace_back(kColServer, FormatAddress(result.server));
        writes.emplace_back(kColStandbyServer, FormatAddress(result.standbyServer));
        writes.emplace_back(kColDeviceNo, std::to_string(result.newDeviceNumber));
    }
    writes.emplace_back(kColMarker, "0");
    station.m_DeviceList.SetCellsOfDevice(result.deviceNumber, writes, outcome);
}

}  // namespace

void HandleDeviceReply(StationState& station, const ST_CMD_RUN_tag& entry) {
    if (!entry.data || entry.length <= 0) return;
    const DeviceReply reply =
        ReadDeviceReply(std::span<const uint8_t>(entry.data.get(), static_cast<size_t>(entry.length)));
    if (const auto* search = std::get_if<SearchReply>(&reply)) {
        ListDevice(station, *search);
    } else if (const auto* shortResult = std::get_if<ShortChangeResult>(&reply)) {
        RecordShortResult(station, *shortResult);
    } else if (const auto* fullResult = std::get_if<FullChangeResult>(&reply)) {
        RecordFullResult(station, *fullResult);
    }
}

}  // namespace quillane
