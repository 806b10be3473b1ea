#include "model/address_rules.h"

#include "model/texts.h"
#include "support/ipv4.h"

namespace quillane {
namespace {

constexpr uint32_t kLoopbackFirstOctet = 127;

size_t FirstOctetMessageIndex(SettingField field) {
    switch (field) {
        case SettingField::kGateway:
            return 1;
        case SettingField::kServer:
            return 2;
        case SettingField::kStandby:
            return 3;
        case SettingField::kIp:
        case SettingField::kMask:
            break;
    }
    return 0;
}

}  // namespace

bool IsContiguousMask(uint32_t mask) {
    const uint32_t hostPart = ~mask;
    return (hostPart & (hostPart + 1)) == 0;  // ones only at the bottom of the host part
}

bool FirstOctetAccepted(uint32_t address) {
    const uint32_t first = address >> 24;
    return first >= 1 && first <= 223;
}

std::optional<SettingFault> SubnetFault(uint32_t ip, uint32_t mask) {
    if (mask >= 0xFFFFFFFEu) return std::nullopt;
    const uint32_t host = ip & ~mask;
    if (host == 0) return SettingFault::kNetworkAddress;
    if (host == ~mask) return SettingFault::kBroadcastAddress;
    return std::nullopt;
}

std::optional<UnusableSetting> FindUnusableSetting(const AddressSettings& next,
                                                   const AddressSettings& present) {
    const bool ipChanges = next.ip != present.ip;
    const bool maskChanges = next.mask != present.mask;
    if (ipChanges && !FirstOctetAccepted(next.ip))
        return UnusableSetting{SettingField::kIp, SettingFault::kFirstOctet};
    if (ipChanges && next.ip >> 24 == kLoopbackFirstOctet)
        return UnusableSetting{SettingField::kIp, SettingFault::kLoopback};
    if (maskChanges && !IsContiguousMask(next.mask))
        return UnusableSetting{SettingField::kMask, SettingFault::kSplitMask};
    // A split mask the device already has gives no sound subnet to judge by.
    if ((ipChanges || maskChanges) && IsContiguousMask(next.mask)) {
        if (const std::optional<SettingFault> fault = SubnetFault(next.ip, next.mask))
            return UnusableSetting{ipChanges ? SettingField::kIp : SettingField::kMask, *fault};
    }
    const struct {
        SettingField field;
        uint32_t next, present;
    } servers[] = {{SettingField::kGateway, next.gateway, present.gateway},
                   {SettingField::kServer, next.server, present.server},
                   {SettingField::kStandby, next.standby, present.standby}};
    for (const auto& s : servers) {
        if (s.next != s.present && !FirstOctetAccepted(s.next))
            return UnusableSetting{s.field, SettingFault::kFirstOctet};
    }
    return std::nullopt;
}

std::string UnusableSettingMessage(const UnusableSetting& unusable, Language language) {
    const TextTable& t = Texts(language);
    switch (unusable.fault) {
        case SettingFault::kFirstOctet:
            return t.msgFirstOctet[FirstOctetMessageIndex(unusable.field)];
        case SettingFault::kLoopback:
            return t.msgIpLoopback;
        case SettingFault::kNetworkAddress:
            return t.msgIpNetworkAddress;
        case SettingFault::kBroadcastAddress:
            return t.msgIpBroadcastAddress;
        case SettingFault::kSplitMask:
            return t.msgMaskNotContiguous;
    }
    return {};
}

std::string DescribeUnusableSetting(const UnusableSetting& unusable, const AddressSettings& next,
                                    Language language) {
    auto dotted = [](uint32_t address) { return IPv4Address(address).ToString(); };
    std::string value;
    switch (unusable.fault) {
        case SettingFault::kNetworkAddress:
        case SettingFault::kBroadcastAddress:
            value = dotted(next.ip) + "/" + dotted(next.mask);
            break;
        case SettingFault::kSplitMask:
            value = dotted(next.mask);
            break;
        case SettingFault::kFirstOctet:
        case SettingFault::kLoopback: {
            const uint32_t values[] = {next.ip, next.mask, next.gateway, next.server, next.standby};
            value = dotted(values[static_cast<size_t>(unusable.field)]);
            break;
        }
    }
    return UnusableSettingMessage(unusable, language) + Texts(language).labelSeparator + value;
}

}  // namespace quillane
