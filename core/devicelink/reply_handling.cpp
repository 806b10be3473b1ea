#include "devicelink/reply_handling.h"

#include <span>
#include <string>

#include "devicelink/command_queue.h"
#include "devicelink/device_types.h"
#include "devicelink/protocol.h"
#include "mainwindow/station.h"
#include "mainwindow/texts.h"
#include "support/tick_clock.h"

namespace quillane {
namespace {

// Only languages 1 and 2 have texts; with any other value nothing is written.
bool HasTexts(int language) { return language == 1 || language == 2; }

void WriteOutcome(Station& station, int row, bool succeeded) {
    const int language = station.m_nLanguage.load();
    if (HasTexts(language)) {
        const TextTable& texts = Texts(language);
        station.m_DeviceList.SetCell(row, kColState, succeeded ? texts.stateSuccess : texts.stateFailure);
    }
}

// False for an unknown type code or a type filtered out.
// A reply without a type is always listed, as an unknown device.
bool TypeListed(const Station& station, const SearchReply& reply) {
    if (!reply.hasType) return true;
    const std::optional<DeviceTypeInfo> type = FindDeviceType(reply.typeCode);
    return type && FilterAdmits(station, *type);
}

std::string TypeText(const SearchReply& reply, int language) {
    if (!HasTexts(language)) return {};
    return reply.hasType ? DeviceTypeName(reply.typeCode, language) : Texts(language).unknownDevice;
}

void ListDevice(Station& station, const SearchReply& reply) {
    if (!TypeListed(station, reply)) return;
    DeviceTable& table = station.m_DeviceList;
    // An existing row is never updated by a search reply: every probe copy is answered.
    if (table.FindRowByDeviceNumber(reply.deviceNumber) >= 0) return;
    const DeviceRow cells{
        std::to_string(table.RowCount() + 1),  // row number, never renumbered
        "",                                     // not chosen
        FormatVersion(reply.version),
        "",                                     // no state yet
        FormatAddress(reply.ip),
        FormatAddress(reply.mask),
        FormatAddress(reply.gateway),
        FormatAddress(reply.server),
        FormatAddress(reply.standbyServer),
        TypeText(reply, station.m_nLanguage.load()),
        std::to_string(reply.deviceNumber),
        "0",                                    // no address change awaits an answer
    };
    const int row = table.AppendRow(cells);
    table.SetItemData(row, row);
}

void RecordShortResult(Station& station, const ShortChangeResult& result) {
    station.m_dwModifyTick = GetTickCount();  // restarts the answer time-out, matched or not
    const int row = station.m_DeviceList.FindRowByDeviceNumber(result.deviceNumber);
    if (row < 0) return;
    WriteOutcome(station, row, result.Succeeded());
    station.m_DeviceList.SetCell(row, kColMarker, "0");
}

void RecordFullResult(Station& station, const FullChangeResult& result) {
    station.m_dwModifyTick = GetTickCount();
    DeviceTable& table = station.m_DeviceList;
    const int row = table.FindRowByDeviceNumber(result.deviceNumber);
    if (row < 0) return;
    WriteOutcome(station, row, result.Succeeded());
    if (result.Succeeded()) {
        table.SetCell(row, kColIP, FormatAddress(result.ip));
        table.SetCell(row, kColMask, FormatAddress(result.mask));
        table.SetCell(row, kColGateway, FormatAddress(result.gateway));
        table.SetCell(row, kColServer, FormatAddress(result.server));
        table.SetCell(row, kColStandbyServer, FormatAddress(result.standbyServer));
        table.SetCell(row, kColDeviceNo, std::to_string(result.newDeviceNumber));
    }
    table.SetCell(row, kColMarker, "0");
}

}  // namespace

void HandleDeviceReply(Station& station, const ST_CMD_RUN_tag& entry) {
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
