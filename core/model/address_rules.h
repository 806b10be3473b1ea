#pragma once

// Which address settings a device can be given without being lost to the
// network. One set of rules for every way a setting reaches a device: the IP
// settings dialog's OK, the command line's arguments, address plans, and the
// address-change batch itself, which refuses what slipped past the others.

#include <cstdint>
#include <optional>
#include <string>

#include "model/language.h"

namespace quillane {

// A device's five address settings, number form (first octet most significant).
struct AddressSettings {
    uint32_t ip = 0, mask = 0, gateway = 0, server = 0, standby = 0;
    bool operator==(const AddressSettings&) const = default;
};

// The settings in the dialog's field order.
enum class SettingField : uint8_t { kIp, kMask, kGateway, kServer, kStandby };

enum class SettingFault : uint8_t {
    kFirstOctet,        // first octet 0 or above 223: no host, multicast or reserved (not the mask)
    kLoopback,          // the IP address is 127.x.x.x: the device would only talk to itself
    kNetworkAddress,    // the IP address is its subnet's network address (host part all zeros)
    kBroadcastAddress,  // the IP address is its subnet's broadcast address (host part all ones)
    kSplitMask,         // the mask's ones are not one unbroken run from the top
};

struct UnusableSetting {
    SettingField field = SettingField::kIp;
    SettingFault fault = SettingFault::kFirstOctet;
    bool operator==(const UnusableSetting&) const = default;
};

// Ones from the top bit, then zeros only (0.0.0.0 and 255.255.255.255 included).
bool IsContiguousMask(uint32_t mask);

// A device address's first octet must lie in 1..223 (the dialog's rule).
bool FirstOctetAccepted(uint32_t address);

// The host part of `ip` under `mask` is all zeros or all ones. A /31 or /32
// has neither address (both of a /31's addresses are hosts).
std::optional<SettingFault> SubnetFault(uint32_t ip, uint32_t mask);

// New settings against the ones the device has now. A setting is judged only
// when it changes (a value the device already has cannot lose it, so an
// exported inventory's unchanged cells, "0.0.0.0" for none included, pass);
// the IP address is judged against its subnet when the address or the mask
// changes. The first fault in field order; nullopt when all can be used. When
// only the mask changed, a subnet fault is the mask's.
std::optional<UnusableSetting> FindUnusableSetting(const AddressSettings& next,
                                                   const AddressSettings& present);

// The operator's text for a fault in a language's text set (Texts): the
// dialog's message for the field.
std::string UnusableSettingMessage(const UnusableSetting& unusable, Language language);

// The message followed by the value concerned ("... : 10.1.255.255/255.255.0.0").
std::string DescribeUnusableSetting(const UnusableSetting& unusable, const AddressSettings& next,
                                    Language language);

}  // namespace quillane
