#include "runs/address_change_batch.h"

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

std::string DescribeRefusal(const BatchRow& row, int language) {
    const bool zh = language == 1;
    if (language != 1 && language != 2) return {};
    const std::string newIp = IPv4Address(row.plan.values.newIp).ToString();
    const std::string other = std::to_string(row.conflictingDevice);
    switch (row.plan.refusal) {
        case FailureReason::kNone:
            return {};
        case FailureReason::kNotSingleHost:
            return zh ? "设备地址不是单一主机地址" : "its address is not a single host's";
        case FailureReason::kSharedGroupNumber:
            return zh ? "组播命令会同时到达设备号低16位相同的其他设备"
                      : "the group form would also reach another device with the same low 16 bits";
        case FailureReason::kSameNewAddress:
            return zh ? "地址" + newIp + "同时分配给了设备" + other
                      : "address conflict: " + newIp + " would also go to device " + other;
        case FailureReason::kAddressInUse:
            return zh ? "地址" + newIp + "已被设备" + other + "使用"
                      : "address conflict: " + newIp + " is the address of device " + other;
        case FailureReason::kNotInPlan:
            return zh ? "地址计划中没有该设备" : "the plan has no settings for it";
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

std::string DescribeRefusedRows(const AddressChangeBatch& batch, int language) {
    if (language != 1 && language != 2) return {};
    std::string list;
    int refused = 0;
    for (const BatchRow& r : batch.rows) {
        if (r.plan.action != RowPlan::Action::kRefuse) continue;
        // The line has room for a few; the rows themselves show the rest.
        if (++refused <= 3) {
            list += (list.empty()    ? ""
                     : language == 1 ? "；"
                                     : "; ") +
                    std::to_string(r.deviceNumber) + (language == 1 ? "：" : ": ") +
                    DescribeRefusal(r, language);
        }
    }
    if (refused == 0) return {};
    if (refused > 3) list += language == 1 ? "……" : "; ...";
    return language == 1 ? "未发送给" + std::to_string(refused) + "台设备（" + list + "）"
                         : "Not sent to " + std::to_string(refused) +
                               (refused == 1 ? " device (" : " devices (") + list + ")";
}

}  // namespace quillane
