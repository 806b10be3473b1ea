#include "runs/address_change_batch.h"

#include "model/texts.h"

namespace quillane {
namespace {

GroupNumberCounts GroupsOf(const std::vector<DeviceRow>& table) {
    std::vector<std::string> numbers;
    for (const DeviceRow& row : table) numbers.push_back(row[kColDeviceNo]);
    return CountGroupNumbers(numbers);
}

std::vector<ListedAddress> ListedDevices(const std::vector<DeviceRow>& table) {
    std::vector<ListedAddress> listed;
    for (const DeviceRow& row : table)
        listed.push_back({ReadDecimal(row[kColDeviceNo]), IPv4Address::Parse(row[kColIP])});
    return listed;
}

// The conflict rule over the rows about to be sent; offenders are refused.
void RefuseConflicts(AddressChangeBatch& batch, const std::vector<DeviceRow>& table) {
    std::vector<PlannedAddress> planned;
    std::vector<size_t> batchIndex;
    for (size_t i = 0; i < batch.rows.size(); ++i) {
        const BatchRow& r = batch.rows[i];
        if (r.plan.action != RowPlan::Action::kSend) continue;
        planned.push_back({r.deviceNumber, r.present, IPv4Address(r.plan.values.newIp)});
        batchIndex.push_back(i);
    }
    for (const AddressConflict& conflict : FindAddressConflicts(planned, ListedDevices(table))) {
        BatchRow& r = batch.rows[batchIndex[conflict.index]];
        r.plan.action = RowPlan::Action::kRefuse;
        r.plan.refusal = conflict.kind == AddressConflict::Kind::kSameNewAddress
                             ? FailureReason::kSameNewAddress
                             : FailureReason::kAddressInUse;
        r.conflictingDevice = conflict.otherDevice;
    }
}

}  // namespace

AddressChangeBatch PlanAddressChangeBatch(const std::vector<DeviceRow>& table,
                                          const AddressChangeSettings& settings,
                                          const DeviceSettingsPlan* plan, const LocalAddressLists& local,
                                          IPv4Address commandGroup) {
    AddressChangePlanner planner(settings, local.ips, local.masks, commandGroup, GroupsOf(table), plan);
    AddressChangeBatch batch;
    for (size_t row = 0; row < table.size(); ++row) {
        const DeviceRow& cells = table[row];
        if (cells[kColChoice] != kCheckMark) continue;
        BatchRow r{static_cast<int>(row), ReadDecimal(cells[kColDeviceNo]), IPv4Address::Parse(cells[kColIP]),
                   planner.PlanRow(cells)};
        const RowPlan::Action action = r.plan.action;
        if (action == RowPlan::Action::kSend || r.plan.refusal == FailureReason::kUnusableSetting)
            r.rangeErrorAfter = !planner.CommandSent();
        const bool ends = action == RowPlan::Action::kRangeError || r.rangeErrorAfter;
        batch.rows.push_back(std::move(r));
        if (ends) break;
    }
    RefuseConflicts(batch, table);
    return batch;
}

std::string DescribeRefusal(const BatchRow& row, Language language) {
    if (!language.HasTexts()) return {};
    const TextTable& t = Texts(language);
    const std::string newIp = IPv4Address(row.plan.values.newIp).ToString();
    const std::string other = std::to_string(row.conflictingDevice);
    switch (row.plan.refusal) {
        case FailureReason::kNone:
            return {};
        case FailureReason::kNotSingleHost:
            return t.refusalNotSingleHost;
        case FailureReason::kSharedGroupNumber:
            return t.refusalSharedGroupNumber;
        case FailureReason::kSameNewAddress:
            return FillIn(t.refusalSameNewAddress, {newIp, other});
        case FailureReason::kAddressInUse:
            return FillIn(t.refusalAddressInUse, {newIp, other});
        case FailureReason::kNotInPlan:
            return t.refusalNotInPlan;
        case FailureReason::kUnusableSetting: {
            const AddressChangeValues& v = row.plan.values;
            return DescribeUnusableSetting(
                row.plan.unusable, {v.newIp, v.mask, v.gateway, v.serverIp, v.standbyServerIp}, language);
        }
        default:
            break;  // not a refusal of the batch
    }
    return {};
}

std::string DescribeRefusedRows(const AddressChangeBatch& batch, Language language) {
    if (!language.HasTexts()) return {};
    const TextTable& t = Texts(language);
    std::string list;
    int refused = 0;
    for (const BatchRow& r : batch.rows) {
        if (r.plan.action != RowPlan::Action::kRefuse) continue;
        // The line has room for a few; the rows themselves show the rest.
        if (++refused <= 3) {
            list += (list.empty() ? "" : t.listSeparator) + std::to_string(r.deviceNumber) +
                    t.labelSeparator + DescribeRefusal(r, language);
        }
    }
    if (refused == 0) return {};
    if (refused > 3) list += t.noteRefusedMore;
    return FillIn(refused == 1 ? t.noteRefusedOne : t.noteRefusedMany, {std::to_string(refused), list});
}

}  // namespace quillane
