#include "link/segment_rule.h"

#include <algorithm>

namespace quillane {

int FindFacingLocalAddress(IPv4Address deviceAddress, IPv4Address deviceMask,
                           const std::vector<std::string>& localIps,
                           const std::vector<std::string>& localMasks) {
    for (size_t k = 0; k < localMasks.size() && k < localIps.size(); ++k) {
        const IPv4Address mask = std::max(deviceMask, IPv4Address::Parse(localMasks[k]));
        if (IPv4Address::Parse(localIps[k]).SameNetwork(deviceAddress, mask)) return static_cast<int>(k);
    }
    return -1;
}

int FindFacingLocalAddress(const std::string& deviceAddress, const std::string& deviceMask,
                           const std::vector<std::string>& localIps,
                           const std::vector<std::string>& localMasks) {
    return FindFacingLocalAddress(IPv4Address::Parse(deviceAddress), IPv4Address::Parse(deviceMask), localIps,
                                  localMasks);
}

}  // namespace quillane
