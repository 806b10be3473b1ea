#pragma once

// The workstation's Ethernet adapters and the IPv4 addresses configured on
// them. The platform supplies per adapter two lists of dotted texts, its
// "IPAddress" and "SubnetMask" values; the acceptance rules below then decide
// which of those texts count, the same on every platform.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quillane {

using AddressList = std::vector<std::string>;

class CIPAddressToos {
public:
    virtual ~CIPAddressToos() = default;

    // Appends, per Ethernet adapter in the order the system reports them, to
    // each list that is not null: name, hardware address text, current
    // addresses and masks, gateways. Empty and "0.0.0.0" entries are left out.
    void QueryAdapters(AddressList* names, AddressList* macs, AddressList* addresses, AddressList* masks,
                       AddressList* gateways);

    // Appends the accepted addresses / masks configured for the adapter.
    static void ReadInterfaceAddresses(AddressList& list, const std::string& adapterName);
    static void ReadInterfaceMasks(AddressList& list, const std::string& adapterName);
};

// One Ethernet adapter as the system reports it now; the lists hold the
// system's texts unfiltered ("0.0.0.0" included where it gives one).
struct EthernetAdapter {
    std::string name;
    std::array<uint8_t, 6> hardwareAddress{};
    AddressList addresses, masks, gateways;
};

// The workstation's Ethernet adapters, in the order the system reports them.
std::vector<EthernetAdapter> ListEthernetAdapters();

// One address per Ethernet adapter that has an IPv4 address: its first one,
// network order. Multicast is sent and the reply group joined per adapter by
// naming it through this address.
std::vector<uint32_t> EthernetInterfaceAddresses();

// The adapter's raw "IPAddress" / "SubnetMask" value as a list of texts.
AddressList InterfaceAddressValue(const std::string& adapterName);
AddressList InterfaceMaskValue(const std::string& adapterName);

// Acceptance of an "IPAddress" value: the first text only when longer than 7
// characters (else the adapter contributes nothing); each further one when it
// has at least 7 characters and a '.' that is not its first character.
AddressList AcceptInterfaceAddresses(const AddressList& value);
// Acceptance of a "SubnetMask" value: the first text always, each further one
// when longer than 8 characters.
AddressList AcceptInterfaceMasks(const AddressList& value);

// Mask paired with an address that has no mask of its own.
inline constexpr const char* kDefaultLocalMask = "255.255.255.0";

// What the system says about one adapter's IPv4 addresses, as plain texts.
struct AdapterAddressSources {
    bool ethernet = true;
    AddressList configuredAddresses, configuredMasks;  // the "IPAddress" / "SubnetMask" values
    AddressList currentAddresses, currentMasks;        // the adapter query's current list, index-aligned
};

// Appends the adapter's local address pairs. The configured values decide
// first, under the acceptance rules. An adapter configured by DHCP holds
// "0.0.0.0" there, and wine keeps no values at all: an Ethernet adapter whose
// configured values give no address contributes its current addresses
// instead (empty and "0.0.0.0" entries left out), so that a workstation
// with a leased address still finds the devices in its subnet.
void AppendAdapterAddresses(const AdapterAddressSources& adapter, AddressList& localIps,
                            AddressList& localMasks);

// Appends each address with the mask of the same index (or the default mask).
void AppendAddressPairs(const AddressList& addresses, const AddressList& masks, AddressList& localIps,
                        AddressList& localMasks);

// "00-1a-2b-3c-4d-5e\n" for the first six bytes of a hardware address.
std::string FormatHardwareAddress(const uint8_t* bytes);

}  // namespace quillane
