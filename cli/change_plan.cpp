#include "change_plan.h"

#include <ostream>
#include <unordered_map>

namespace quillane::cli {
namespace {

bool SameAsRow(const PlanRow& planned, const DeviceRow& row) {
    const int columns[kPlanSettingCount] = {kColIP, kColMask, kColGateway, kColServer, kColStandbyServer};
    for (int s = 0; s < kPlanSettingCount; ++s) {
        const std::optional<IPv4Address>& given = planned.settings[s];
        if (given && IPv4Address::Parse(row[static_cast<size_t>(columns[s])]) != *given) return false;
    }
    return true;
}

const PlanRow* RowOfDevice(const AddressPlan& plan, int32_t device) {
    for (const PlanRow& row : plan.rows)
        if (row.device == device) return &row;
    return nullptr;
}

}  // namespace

MatchedPlan MatchPlan(const AddressPlan& plan, const std::vector<DeviceRow>& rows) {
    // By device number, so a full table against a full plan is one pass over each.
    std::unordered_multimap<int32_t, const DeviceRow*> rowsOfDevice;
    rowsOfDevice.reserve(rows.size());
    for (const DeviceRow& row : rows) rowsOfDevice.emplace(ReadDecimal(row[kColDeviceNo]), &row);
    MatchedPlan matched;
    matched.settings = std::make_shared<DeviceSettingsPlan>();
    matched.settings->reserve(plan.rows.size());
    matched.devices.reserve(plan.rows.size());
    for (const PlanRow& planned : plan.rows) {
        matched.devices.push_back(planned.device);
        const auto [first, last] = rowsOfDevice.equal_range(planned.device);
        for (auto it = first; it != last; ++it) {
            if (SameAsRow(planned, *it->second)) matched.unchanged.insert(planned.device);
        }
        if (matched.unchanged.count(planned.device)) continue;
        (*matched.settings)[planned.device] = planned.settings;
    }
    return matched;
}

std::optional<PlanError> PlanConflict(const AddressPlan& plan, const AddressChangeBatch& batch) {
    for (const BatchRow& r : batch.rows) {
        const FailureReason why = r.plan.refusal;
        if (why != FailureReason::kSameNewAddress && why != FailureReason::kAddressInUse &&
            why != FailureReason::kUnusableSetting)
            continue;
        const PlanRow* row = RowOfDevice(plan, r.deviceNumber);
        // SettingField and PlanSetting list the five settings in one order.
        const PlanSetting column = why == FailureReason::kUnusableSetting
                                       ? static_cast<PlanSetting>(r.plan.unusable.field)
                                       : PlanSetting::Ip;
        return PlanError{row ? row->line : 0, plan.Header(column),
                         "device " + std::to_string(r.deviceNumber) + ": " + DescribeRefusal(r, kEnglish)};
    }
    return std::nullopt;
}

std::string UnusableArgument(const AddressChangeBatch& batch, Language language) {
    static const char* const kOptions[] = {"--ip", "--mask", "--gateway", "--server", "--standby"};
    for (const BatchRow& r : batch.rows) {
        if (r.plan.refusal != FailureReason::kUnusableSetting) continue;
        return std::string(kOptions[static_cast<size_t>(r.plan.unusable.field)]) + ": device " +
               std::to_string(r.deviceNumber) + ": " + DescribeRefusal(r, language);
    }
    return {};
}

int PrintDryRun(const AddressChangeBatch& batch, Language language, std::ostream& out) {
    int refused = 0;
    for (const BatchRow& r : batch.rows) {
        out << "device " << r.deviceNumber << "  " << r.present.ToString() << "  ";
        switch (r.plan.action) {
            case RowPlan::Action::kSend: {
                const AddressChangeValues& v = r.plan.values;
                out << (r.plan.groupForm ? "group form to " : "direct to ") << r.plan.destination.ToString()
                    << ": ip " << IPv4Address(v.newIp).ToString() << " mask "
                    << IPv4Address(v.mask).ToString() << " gateway " << IPv4Address(v.gateway).ToString()
                    << " server " << IPv4Address(v.serverIp).ToString() << " standby "
                    << IPv4Address(v.standbyServerIp).ToString();
                if (r.rangeErrorAfter) out << "  (the addresses run out after this device)";
                break;
            }
            case RowPlan::Action::kRefuse:
                ++refused;
                out << "refused: " << DescribeRefusal(r, language);
                break;
            case RowPlan::Action::kSendNothing:
                ++refused;
                out << "refused: no such edit type";
                break;
            case RowPlan::Action::kRangeError:
                ++refused;
                out << "refused: the addresses ran out (the batch would end here)";
                break;
        }
        out << "\n";
    }
    return refused;
}

}  // namespace quillane::cli
