#include "runs/address_conflicts.h"

#include <unordered_map>

namespace quillane {
namespace {

// The devices holding each address, by number form.
using Holders = std::unordered_map<uint32_t, std::vector<int32_t>>;

}  // namespace

std::vector<AddressConflict> FindAddressConflicts(const std::vector<PlannedAddress>& planned,
                                                  const std::vector<ListedAddress>& listed) {
    Holders newHolders, presentHolders;
    for (const PlannedAddress& p : planned) {
        if (p.planned != p.present) newHolders[p.planned.Number()].push_back(p.deviceNumber);
    }
    for (const ListedAddress& d : listed) presentHolders[d.present.Number()].push_back(d.deviceNumber);

    auto otherThan = [](const std::vector<int32_t>& holders, int32_t self) -> const int32_t* {
        for (const int32_t& number : holders)
            if (number != self) return &number;
        return nullptr;
    };

    std::vector<AddressConflict> conflicts;
    for (size_t i = 0; i < planned.size(); ++i) {
        const PlannedAddress& p = planned[i];
        if (p.planned == p.present) continue;
        const uint32_t address = p.planned.Number();
        if (const int32_t* other = otherThan(newHolders[address], p.deviceNumber)) {
            conflicts.push_back({i, AddressConflict::Kind::kSameNewAddress, p.planned, *other});
        } else if (const int32_t* holder = otherThan(presentHolders[address], p.deviceNumber)) {
            conflicts.push_back({i, AddressConflict::Kind::kTakesListedAddress, p.planned, *holder});
        }
    }
    return conflicts;
}

}  // namespace quillane
