#include "runs/address_change_plan.h"

#include <optional>
#include <utility>

#include "link/segment_rule.h"

namespace quillane {
namespace {

// x.y.(c+1).1, x.(b+1).1.1 or (a+1).1.1.1: the first address of the next block.
// `lastThird` and `lastSecond` are the highest third and second octets the move
// may produce; nullopt when the first octet would leave its range.
std::optional<IPv4Address> NextBlock(IPv4Address from, uint32_t lastThird, uint32_t lastSecond) {
    const uint32_t a = from.Octet(0), b = from.Octet(1), c = from.Octet(2);
    const uint32_t one = kLowestIncreasedLastOctet;
    if (c + 1 <= lastThird) return IPv4Address::FromOctets(a, b, c + 1, one);
    if (b + 1 <= lastSecond) return IPv4Address::FromOctets(a, b + 1, one, one);
    if (a + 1 <= kHighestIncreasedFirstOctet) return IPv4Address::FromOctets(a + 1, one, one, one);
    return std::nullopt;
}

// The high octets from the running address, the rest from the device's own.
IPv4Address KeepOwnOctets(IPv4Address running, IPv4Address present, int ownOctets) {
    const uint32_t ownPart = 0xFFFFFFFFu >> (32 - 8 * ownOctets);
    return IPv4Address((running.Number() & ~ownPart) | (present.Number() & ownPart));
}

uint16_t Low16(int32_t number) {
    return static_cast<uint16_t>(static_cast<uint32_t>(number));
}

}  // namespace

AddressChangeSettings SettingsFromDialog(const IpSettingsValues& entered) {
    auto given = [](int ticked, uint32_t address) {
        return ticked != 0 ? std::optional<IPv4Address>(IPv4Address(address)) : std::nullopt;
    };
    return {{given(entered.ipCheck, entered.ip), given(entered.maskCheck, entered.mask),
             given(entered.gatewayCheck, entered.gateway), given(entered.serverCheck, entered.server),
             given(entered.backupServerCheck, entered.backupServer)},
            entered.editType};
}

RunningAddress::RunningAddress(int editType, bool changeIp, IPv4Address entered)
    : m_editType(editType), m_changeIp(changeIp), m_running(changeIp ? entered : IPv4Address()) {}

RunningAddress::NewAddress RunningAddress::For(IPv4Address present) {
    if (!m_changeIp) m_running = present;
    switch (m_editType) {
        case kEditIncrease:
            // An address at the end of its block moves into the next block first;
            // here the third and second octets may still reach 255.
            if (m_running.Octet(3) >= kFirstUnusedLastOctet) {
                const std::optional<IPv4Address> moved = NextBlock(m_running, 255, 255);
                if (!moved) return {Outcome::kRangeError, {}};
                m_running = *moved;
            }
            return {Outcome::kAddress, m_running};
        case kEditKeepLastOctet:
        case kEditKeepLastTwoOctets:
        case kEditKeepLastThreeOctets:
            m_running = KeepOwnOctets(m_running, present, m_editType);
            return {Outcome::kAddress, m_running};
        default:
            return {Outcome::kUnknownEditType, {}};
    }
}

bool RunningAddress::Advance() {
    // Without an IP change the next device starts from its own address: moving
    // on here could only raise a range error that no device would ever meet.
    if (m_editType != kEditIncrease || !m_changeIp) return true;
    if (m_running.Octet(3) + 1 < kFirstUnusedLastOctet) {
        m_running = IPv4Address(m_running.Number() + 1);
        return true;
    }
    const std::optional<IPv4Address> next = NextBlock(m_running, 254, 254);
    if (!next) return false;
    m_running = *next;
    return true;
}

GroupNumberCounts CountGroupNumbers(const std::vector<std::string>& deviceNumberCells) {
    GroupNumberCounts counts;
    for (const std::string& cell : deviceNumberCells) {
        if (!cell.empty()) ++counts[Low16(ReadDecimal(cell))];
    }
    return counts;
}

bool IsSingleHostTarget(IPv4Address address, IPv4Address ownMask, IPv4Address segmentMask) {
    if (address == IPv4Address() || address.IsMulticast()) return false;
    if (address == IPv4Address(0xFFFFFFFFu)) return false;
    return !address.IsBroadcastOf(ownMask) && !address.IsBroadcastOf(segmentMask);
}

AddressChangePlanner::AddressChangePlanner(const AddressChangeSettings& settings,
                                           std::vector<std::string> localIps,
                                           std::vector<std::string> localMasks, IPv4Address commandGroup,
                                           GroupNumberCounts groups, const DeviceSettingsPlan* plan)
    : m_settings(settings),
      m_localIps(std::move(localIps)),
      m_localMasks(std::move(localMasks)),
      m_commandGroup(commandGroup),
      m_groups(std::move(groups)),
      m_running(settings.editType, settings.given.ip.has_value(), settings.given.ip.value_or(IPv4Address())),
      m_plan(plan) {}

RowPlan AddressChangePlanner::PlanRow(const DeviceRow& cells) {
    const IPv4Address present = IPv4Address::Parse(cells[kColIP]);
    const IPv4Address ownMask = IPv4Address::Parse(cells[kColMask]);
    const int32_t number = ReadDecimal(cells[kColDeviceNo]);
    const int facing = FindFacingLocalAddress(present, ownMask, m_localIps, m_localMasks);
    const bool local = facing >= 0;

    RowPlan plan;
    if (local && !IsSingleHostTarget(present, ownMask,
                                     IPv4Address::Parse(m_localMasks[static_cast<size_t>(facing)]))) {
        return Only(RowPlan::Action::kRefuse, FailureReason::kNotSingleHost);
    }
    // Every device with these low 16 bits would take the same new address.
    if (!local && m_groups[Low16(number)] > 1)
        return Only(RowPlan::Action::kRefuse, FailureReason::kSharedGroupNumber);

    AddressChangeValues values;
    if (m_plan) {
        const auto entry = m_plan->find(number);
        if (entry == m_plan->end()) return Only(RowPlan::Action::kRefuse, FailureReason::kNotInPlan);
        values = GivenValues(entry->second, cells);
    } else {
        values = GivenValues(m_settings.given, cells);
        const RunningAddress::NewAddress newIp = m_running.For(present);
        if (newIp.outcome == RunningAddress::Outcome::kRangeError) return Only(RowPlan::Action::kRangeError);
        if (newIp.outcome == RunningAddress::Outcome::kUnknownEditType)
            return Only(RowPlan::Action::kSendNothing);
        values.newIp = newIp.address.Number();
    }
    plan.values = values;
    plan.groupForm = !local;
    plan.destination = local ? present : m_commandGroup;
    plan.command = local ? BuildDirectAddressChange(values) : BuildGroupAddressChange(number, values);
    return SendUnlessUnusable(std::move(plan), cells);
}

RowPlan AddressChangePlanner::SendUnlessUnusable(RowPlan plan, const DeviceRow& cells) {
    auto present = [&cells](int column) {
        return IPv4Address::Parse(cells[static_cast<size_t>(column)]).Number();
    };
    const AddressChangeValues& v = plan.values;
    const std::optional<UnusableSetting> unusable =
        FindUnusableSetting({v.newIp, v.mask, v.gateway, v.serverIp, v.standbyServerIp},
                            {present(kColIP), present(kColMask), present(kColGateway), present(kColServer),
                             present(kColStandbyServer)});
    if (!unusable) return plan;
    plan.action = RowPlan::Action::kRefuse;
    plan.refusal = FailureReason::kUnusableSetting;
    plan.unusable = *unusable;
    plan.command = {};
    return plan;
}

AddressChangeValues AddressChangePlanner::GivenValues(const DeviceSettings& planned, const DeviceRow& cells) {
    auto pick = [&cells](const std::optional<IPv4Address>& given, int column) {
        return (given ? *given : IPv4Address::Parse(cells[static_cast<size_t>(column)])).Number();
    };
    AddressChangeValues values;
    values.presentIp = IPv4Address::Parse(cells[kColIP]).Number();
    values.newIp = pick(planned.ip, kColIP);
    values.mask = pick(planned.mask, kColMask);
    values.gateway = pick(planned.gateway, kColGateway);
    values.serverIp = pick(planned.server, kColServer);
    values.standbyServerIp = pick(planned.standby, kColStandbyServer);
    return values;
}

bool AddressChangePlanner::CommandSent() {
    return m_running.Advance();
}

}  // namespace quillane
