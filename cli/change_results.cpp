#include "change_results.h"

namespace quillane::cli {

SettingsFacts RowSettings(const DeviceRow& row) {
    return {row[kColIP], row[kColMask], row[kColGateway], row[kColServer], row[kColStandbyServer]};
}

void AddChangeDryRun(ResultsDocument& document, const AddressChangeBatch& batch, const DeviceTable& table) {
    for (const BatchRow& r : batch.rows) {
        const DeviceRow row = table.Row(r.row);
        ResultEntry entry;
        entry.device = r.deviceNumber;
        entry.addressBefore = row[kColIP];
        entry.versionBefore = row[kColVersion];
        std::optional<SettingsFacts> after;
        if (r.plan.action == RowPlan::Action::kSend) {
            const AddressChangeValues& v = r.plan.values;
            entry.result = "would-change";
            entry.addressAfter = IPv4Address(v.newIp).ToString();
            after = SettingsFacts{entry.addressAfter, IPv4Address(v.mask).ToString(),
                                  IPv4Address(v.gateway).ToString(), IPv4Address(v.serverIp).ToString(),
                                  IPv4Address(v.standbyServerIp).ToString()};
        } else {
            entry.result = "refused";
            entry.reason = r.plan.action == RowPlan::Action::kRefuse ? DescribeRefusal(r, kEnglish)
                           : r.plan.action == RowPlan::Action::kRangeError
                               ? "the addresses ran out (the batch would end here)"
                               : "no such edit type";
        }
        document.Add(std::move(entry));
        document.Settings(r.deviceNumber, RowSettings(row), after);
    }
}

}  // namespace quillane::cli
