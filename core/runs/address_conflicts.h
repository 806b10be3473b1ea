#pragma once

// The conflict rule of address changes: a batch (or a plan) never gives two
// devices one address, nor a device the present address of another listed
// device. Worked out over every chosen device before anything is sent.

#include <cstdint>
#include <vector>

#include "support/ipv4.h"

namespace quillane {

// A device of the table: its number and present address.
struct ListedAddress {
    int32_t deviceNumber = 0;
    IPv4Address present;
};

// A chosen device and the address it is about to be given.
struct PlannedAddress {
    int32_t deviceNumber = 0;
    IPv4Address present;
    IPv4Address planned;
};

struct AddressConflict {
    enum class Kind {
        kSameNewAddress,      // another chosen device would be given this address too
        kTakesListedAddress,  // another listed device has this address now
    };
    size_t index = 0;  // into the planned list
    Kind kind = Kind::kSameNewAddress;
    IPv4Address address;
    int32_t otherDevice = 0;  // the first other device involved
};

// One entry per refused planned address, in the order of `planned`. A device
// that keeps its address conflicts with nothing: the batch gives it nothing new.
std::vector<AddressConflict> FindAddressConflicts(const std::vector<PlannedAddress>& planned,
                                                  const std::vector<ListedAddress>& listed);

}  // namespace quillane
