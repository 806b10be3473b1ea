#include "runs/fleet_check.h"

#include <map>

#include "link/segment_rule.h"

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
std::string NonHostReason(IPv4Address ip, IPv4Address mask) {
    if (ip.IsMulticast()) return "multicast address";
    if (ip == IPv4Address(0xFFFFFFFFu) || ip.IsBroadcastOf(mask)) return "broadcast address";
    const bool hasHostPart = mask.Number() < 0xFFFFFFFEu;
    if (ip == IPv4Address() || (hasHostPart && (ip.Number() & ~mask.Number()) == 0)) return "network address";
    return {};
}

}  // namespace

std::vector<FleetFinding> CheckFleet(const std::vector<DeviceRow>& rows, const LocalAddressLists& local) {
    std::vector<FleetFinding> findings;
    if (rows.empty()) return findings;
    const std::vector<Device> devices = Devices(rows);

    AddSharedGroups(
        devices, [](const Device& d) { return d.ip.Number(); },
        [](const Device& d) {
            return FleetFinding{FleetFinding::Kind::kSharedAddress, {}, d.ipText, 0, {}};
        },
        findings);
    AddSharedGroups(
        devices, [](const Device& d) { return static_cast<uint16_t>(static_cast<uint32_t>(d.number)); },
        [](const Device& d) {
            return FleetFinding{FleetFinding::Kind::kSharedGroupNumber,
                                {},
                                {},
                                static_cast<uint16_t>(static_cast<uint32_t>(d.number)),
                                {}};
        },
        findings);
    for (const Device& d : devices) {
        if (FindFacingLocalAddress(d.ip, d.mask, local.ips, local.masks) < 0)
            findings.push_back({FleetFinding::Kind::kOutsideSegments, {d.number}, d.ipText, 0, {}});
    }
    for (const Device& d : devices) {
        if (std::string why = NonHostReason(d.ip, d.mask); !why.empty())
            findings.push_back(
                {FleetFinding::Kind::kNonHostAddress, {d.number}, d.ipText, 0, std::move(why)});
    }
    return findings;
}

namespace {

std::string Numbers(const std::vector<int32_t>& devices) {
    std::string text;
    for (int32_t number : devices) text += (text.empty() ? "" : ", ") + std::to_string(number);
    return text;
}

std::string ChineseWhy(const std::string& why) {
    if (why == "multicast address") return "组播地址";
    if (why == "broadcast address") return "广播地址";
    return "网络地址";
}

}  // namespace

std::string DescribeFinding(const FleetFinding& f, int language) {
    const std::string devices = Numbers(f.devices);
    const std::string group = std::to_string(f.groupNumber);
    if (language == 1) {
        switch (f.kind) {
            case FleetFinding::Kind::kSharedAddress:
                return "设备 " + devices + " 使用同一IP地址 " + f.address;
            case FleetFinding::Kind::kSharedGroupNumber:
                return "设备 " + devices + " 的设备号低16位相同(" + group + ")";
            case FleetFinding::Kind::kOutsideSegments:
                return "设备 " + devices + " (" + f.address + ") 不在本机网段内";
            case FleetFinding::Kind::kNonHostAddress:
                return "设备 " + devices + " 的IP地址 " + f.address + " 是" + ChineseWhy(f.why);
        }
    }
    if (language == 2) {
        switch (f.kind) {
            case FleetFinding::Kind::kSharedAddress:
                return "Devices " + devices + " share the IP address " + f.address;
            case FleetFinding::Kind::kSharedGroupNumber:
                return "Devices " + devices + " share the low 16 bits of their number (" + group + ")";
            case FleetFinding::Kind::kOutsideSegments:
                return "Device " + devices + " (" + f.address + ") is outside every local segment";
            case FleetFinding::Kind::kNonHostAddress:
                return "Device " + devices + " has a " + f.why + ": " + f.address;
        }
    }
    return {};
}

}  // namespace quillane
