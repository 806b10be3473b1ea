#include "runs/fleet_check.h"

#include <map>

#include "link/segment_rule.h"
#include "model/texts.h"

namespace quillane {
namespace {

struct Device {
    int32_t number;
    std::string ipText;
    IPv4Address ip, mask;
};

std::vector<Device> Devices(const std::vector<DeviceRow>& rows) {
    std::vector<Device> devices;
    for (const DeviceRow& row : rows) {
        devices.push_back({ReadDecimal(row[kColDeviceNo]), row[kColIP], IPv4Address::Parse(row[kColIP]),
                           IPv4Address::Parse(row[kColMask])});
    }
    return devices;
}

// Groups of devices sharing a key, in the order each key was first seen.
template <class Key, class MakeFinding>
void AddSharedGroups(const std::vector<Device>& devices, Key key, MakeFinding make,
                     std::vector<FleetFinding>& out) {
    std::map<decltype(key(devices.front())), size_t> firstSeen;
    std::vector<std::vector<int32_t>> groups;
    std::vector<const Device*> firstDevice;
    for (const Device& d : devices) {
        const auto [it, added] = firstSeen.emplace(key(d), groups.size());
        if (added) {
            groups.emplace_back();
            firstDevice.push_back(&d);
        }
        groups[it->second].push_back(d.number);
    }
    for (size_t g = 0; g < groups.size(); ++g) {
        if (groups[g].size() < 2) continue;
        FleetFinding finding = make(*firstDevice[g]);
        finding.devices = groups[g];
        out.push_back(std::move(finding));
    }
}

// Why the address is not one host's; empty when it is.
using AddressKind = FleetFinding::AddressKind;

AddressKind KindOfAddress(IPv4Address ip, IPv4Address mask) {
    if (ip.IsMulticast()) return AddressKind::kMulticast;
    if (ip == IPv4Address(0xFFFFFFFFu) || ip.IsBroadcastOf(mask)) return AddressKind::kBroadcast;
    const bool hasHostPart = mask.Number() < 0xFFFFFFFEu;
    if (ip == IPv4Address() || (hasHostPart && (ip.Number() & ~mask.Number()) == 0))
        return AddressKind::kNetwork;
    return AddressKind::kHost;
}

}  // namespace

std::vector<FleetFinding> CheckFleet(const std::vector<DeviceRow>& rows, const LocalAddressLists& local) {
    std::vector<FleetFinding> findings;
    if (rows.empty()) return findings;
    const std::vector<Device> devices = Devices(rows);

    AddSharedGroups(
        devices, [](const Device& d) { return d.ip.Number(); },
        [](const Device& d) {
            return FleetFinding{FleetFinding::Kind::kSharedAddress, {}, d.ipText, 0, AddressKind::kHost};
        },
        findings);
    AddSharedGroups(
        devices, [](const Device& d) { return static_cast<uint16_t>(static_cast<uint32_t>(d.number)); },
        [](const Device& d) {
            return FleetFinding{FleetFinding::Kind::kSharedGroupNumber,
                                {},
                                {},
                                static_cast<uint16_t>(static_cast<uint32_t>(d.number)),
                                AddressKind::kHost};
        },
        findings);
    for (const Device& d : devices) {
        if (FindFacingLocalAddress(d.ip, d.mask, local.ips, local.masks) < 0)
            findings.push_back(
                {FleetFinding::Kind::kOutsideSegments, {d.number}, d.ipText, 0, AddressKind::kHost});
    }
    for (const Device& d : devices) {
        if (const AddressKind kind = KindOfAddress(d.ip, d.mask); kind != AddressKind::kHost)
            findings.push_back({FleetFinding::Kind::kNonHostAddress, {d.number}, d.ipText, 0, kind});
    }
    return findings;
}

namespace {

std::string Numbers(const std::vector<int32_t>& devices) {
    std::string text;
    for (int32_t number : devices) text += (text.empty() ? "" : ", ") + std::to_string(number);
    return text;
}

const std::string& AddressKindText(AddressKind kind, const TextTable& t) {
    switch (kind) {
        case AddressKind::kMulticast:
            return t.addressKindMulticast;
        case AddressKind::kBroadcast:
            return t.addressKindBroadcast;
        case AddressKind::kNetwork:
        case AddressKind::kHost:
            break;
    }
    return t.addressKindNetwork;
}

}  // namespace

std::string DescribeFinding(const FleetFinding& f, Language language) {
    if (!language.HasTexts()) return {};
    const TextTable& t = Texts(language);
    const std::string devices = Numbers(f.devices);
    switch (f.kind) {
        case FleetFinding::Kind::kSharedAddress:
            return FillIn(t.findingSharedAddress, {devices, f.address});
        case FleetFinding::Kind::kSharedGroupNumber:
            return FillIn(t.findingSharedGroupNumber, {devices, std::to_string(f.groupNumber)});
        case FleetFinding::Kind::kOutsideSegments:
            return FillIn(t.findingOutsideSegments, {devices, f.address});
        case FleetFinding::Kind::kNonHostAddress:
            return FillIn(t.findingNonHostAddress, {devices, f.address, AddressKindText(f.addressKind, t)});
    }
    return {};
}

}  // namespace quillane
