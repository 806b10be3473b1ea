#include "actions/segment_rule.h"

#include "support/udp_socket.h"

namespace quillane {

int FindFacingLocalAddress(uint32_t deviceAddress, uint32_t deviceMask, const std::vector<std::string>& localIps,
                           const std::vector<std::string>& localMasks) {
    const uint32_t device = ntohl(deviceAddress);
    const uint32_t deviceMaskHost = ntohl(deviceMask);
    for (size_t k = 0; k < localMasks.size() && k < localIps.size(); ++k) {
        const uint32_t local = ntohl(ParseIPv4(localIps[k]));
        const uint32_t localMask = ntohl(ParseIPv4(localMasks[k]));
        const uint32_t mask = deviceMaskHost > localMask ? deviceMaskHost : localMask;
        if ((local & mask) == (device & mask)) return static_cast<int>(k);
    }
    return -1;
}

int FindFacingLocalAddress(const std::string& deviceAddress, const std::string& deviceMask,
                           const std::vector<std::string>& localIps, const std::vector<std::string>& localMasks) {
    return FindFacingLocalAddress(ParseIPv4(deviceAddress), ParseIPv4(deviceMask), localIps, localMasks);
}

}  // namespace quillane
