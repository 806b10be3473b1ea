#pragma once

// What a search result tells about trouble in the fleet: addresses answered
// by more than one device, device numbers the group form cannot tell apart,
// devices the workstation cannot reach directly, and addresses that are no
// single host's. Reported, never changed: the operator decides.

#include <cstdint>
#include <string>
#include <vector>

#include "link/local_adapters.h"
#include "model/device_table.h"
#include "model/language.h"

namespace quillane {

struct FleetFinding {
    enum class Kind {
        kSharedAddress,      // several devices answer with `address`
        kSharedGroupNumber,  // the low 16 bits `groupNumber` name several devices
        kOutsideSegments,    // no local segment holds the device: group form only, no upgrade from here
        kNonHostAddress,     // the device's address is a network, broadcast or multicast address
    };
    Kind kind = Kind::kSharedAddress;
    std::vector<int32_t> devices;  // in table order
    std::string address;           // the shared or the device's address
    uint16_t groupNumber = 0;
    enum class AddressKind { kHost, kNetwork, kBroadcast, kMulticast };
    AddressKind addressKind = AddressKind::kHost;  // kNonHostAddress: which kind the address is
};

// Findings grouped by kind in the order of Kind, each kind in table order.
std::vector<FleetFinding> CheckFleet(const std::vector<DeviceRow>& rows, const LocalAddressLists& local);

// One line about a finding in the window's language; empty for one without texts.
std::string DescribeFinding(const FleetFinding& finding, Language language);

}  // namespace quillane
