#include "link/adapter_query.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <winsock2.h>
#include <iphlpapi.h>
#include <windows.h>

#include <memory>

#include "support/utf8.h"
#else
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <sys/stat.h>
#ifdef __linux__
#include <linux/if_packet.h>
#endif
#endif

#include "support/udp_socket.h"

namespace quillane {

namespace {

bool CountsAsAddress(const std::string& text) {
    return !text.empty() && text != "0.0.0.0";
}

void AppendIf(AddressList* list, const std::string& text) {
    if (list && CountsAsAddress(text)) list->push_back(text);
}

#ifndef _WIN32
std::string Dotted(const sockaddr* address) {
    if (!address || address->sa_family != AF_INET) return {};
    char text[INET_ADDRSTRLEN] = {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(address);
    return inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) ? text : std::string();
}

// Address labels ("eth0:1") belong to their interface ("eth0").
std::string InterfaceOf(const char* entryName) {
    std::string name = entryName ? entryName : "";
    const size_t colon = name.find(':');
    return colon == std::string::npos ? name : name.substr(0, colon);
}

// Wireless adapters also report the Ethernet hardware type on Linux; the
// adapter list holds wired Ethernet only.
bool IsWireless(const std::string& name) {
    struct stat info {};
    const std::string base = "/sys/class/net/" + name;
    return stat((base + "/wireless").c_str(), &info) == 0 || stat((base + "/phy80211").c_str(), &info) == 0;
}

// Default gateways of the adapter from the kernel's routing table.
AddressList GatewaysOf(const std::string& name) {
    AddressList gateways;
    std::ifstream routes("/proc/net/route");
    std::string line;
    std::getline(routes, line);  // header
    while (std::getline(routes, line)) {
        std::istringstream fields(line);
        std::string iface, destination, gateway;
        if (!(fields >> iface >> destination >> gateway) || iface != name) continue;
        const uint32_t address = static_cast<uint32_t>(std::strtoul(gateway.c_str(), nullptr, 16));
        if (address == 0) continue;
        char text[INET_ADDRSTRLEN] = {};
        in_addr in{};
        in.s_addr = address;  // the table holds it in network order
        if (inet_ntop(AF_INET, &in, text, sizeof text)) gateways.push_back(text);
    }
    return gateways;
}

// The IPv4 addresses (or masks) of one interface, in the order getifaddrs gives.
AddressList InterfaceValue(const std::string& adapterName, bool masks) {
    AddressList value;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return value;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
        if (InterfaceOf(entry->ifa_name) != adapterName) continue;
        value.push_back(Dotted(masks ? entry->ifa_netmask : entry->ifa_addr));
    }
    freeifaddrs(list);
    return value;
}
#endif

}  // namespace

void AppendAdapterAddresses(const AdapterAddressSources& adapter, AddressList& localIps,
                            AddressList& localMasks) {
    if (!adapter.ethernet) return;
    const AddressList configured = AcceptInterfaceAddresses(adapter.configuredAddresses);
    if (!configured.empty()) {
        AppendAddressPairs(configured, AcceptInterfaceMasks(adapter.configuredMasks), localIps, localMasks);
        return;
    }
    for (size_t k = 0; k < adapter.currentAddresses.size(); ++k) {
        if (!CountsAsAddress(adapter.currentAddresses[k])) continue;
        const bool hasMask = k < adapter.currentMasks.size() && !adapter.currentMasks[k].empty();
        localIps.push_back(adapter.currentAddresses[k]);
        localMasks.push_back(hasMask ? adapter.currentMasks[k] : kDefaultLocalMask);
    }
}

std::string FormatHardwareAddress(const uint8_t* bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%2.2x-%2.2x-%2.2x-%2.2x-%2.2x-%2.2x\n", bytes[0], bytes[1], bytes[2],
                  bytes[3], bytes[4], bytes[5]);
    return text;
}

AddressList AcceptInterfaceAddresses(const AddressList& value) {
    AddressList accepted;
    if (value.empty() || value[0].size() <= 7) return accepted;
    accepted.push_back(value[0]);
    for (size_t i = 1; i < value.size(); ++i) {
        const std::string& text = value[i];
        const size_t dot = text.find('.');
        if (text.size() >= 7 && dot != std::string::npos && dot != 0) accepted.push_back(text);
    }
    return accepted;
}

AddressList AcceptInterfaceMasks(const AddressList& value) {
    AddressList accepted;
    if (value.empty()) return accepted;
    accepted.push_back(value[0]);
    for (size_t i = 1; i < value.size(); ++i)
        if (value[i].size() > 8) accepted.push_back(value[i]);
    return accepted;
}

void AppendAddressPairs(const AddressList& addresses, const AddressList& masks, AddressList& localIps,
                        AddressList& localMasks) {
    for (size_t k = 0; k < addresses.size(); ++k) {
        localIps.push_back(addresses[k]);
        localMasks.push_back(k < masks.size() ? masks[k] : kDefaultLocalMask);
    }
}

void CIPAddressToos::QueryAdapters(AddressList* names, AddressList* macs, AddressList* addresses,
                                   AddressList* masks, AddressList* gateways) {
    if (!names && !macs && !addresses && !masks && !gateways) return;
    for (const EthernetAdapter& adapter : ListEthernetAdapters()) {
        if (macs) macs->push_back(FormatHardwareAddress(adapter.hardwareAddress.data()));
        if (names) names->push_back(adapter.name);
        for (const auto& address : adapter.addresses) AppendIf(addresses, address);
        for (const auto& mask : adapter.masks) AppendIf(masks, mask);
        for (const auto& gateway : adapter.gateways) AppendIf(gateways, gateway);
    }
}

std::vector<uint32_t> EthernetInterfaceAddresses() {
    std::vector<uint32_t> interfaces;
    for (const EthernetAdapter& adapter : ListEthernetAdapters()) {
        for (const auto& text : adapter.addresses) {
            if (!CountsAsAddress(text)) continue;
            const uint32_t address = ParseIPv4(text);
            if (address == INADDR_NONE) continue;
            interfaces.push_back(address);
            break;
        }
    }
    return interfaces;
}

void CIPAddressToos::ReadInterfaceAddresses(AddressList& list, const std::string& adapterName) {
    for (auto& text : AcceptInterfaceAddresses(InterfaceAddressValue(adapterName)))
        list.push_back(std::move(text));
}

void CIPAddressToos::ReadInterfaceMasks(AddressList& list, const std::string& adapterName) {
    for (auto& text : AcceptInterfaceMasks(InterfaceMaskValue(adapterName))) list.push_back(std::move(text));
}

#if defined(__linux__)

AddressList InterfaceAddressValue(const std::string& adapterName) {
    return InterfaceValue(adapterName, false);
}
AddressList InterfaceMaskValue(const std::string& adapterName) {
    return InterfaceValue(adapterName, true);
}

std::vector<EthernetAdapter> ListEthernetAdapters() {
    std::vector<EthernetAdapter> adapters;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return adapters;
    // The link-layer entries come first, one per interface in index order, and
    // carry the hardware type and address.
    for (const ifaddrs* link = list; link; link = link->ifa_next) {
        if (!link->ifa_addr || link->ifa_addr->sa_family != AF_PACKET) continue;
        const auto* hw = reinterpret_cast<const sockaddr_ll*>(link->ifa_addr);
        EthernetAdapter adapter;
        adapter.name = link->ifa_name ? link->ifa_name : "";
        if (hw->sll_hatype != ARPHRD_ETHER || IsWireless(adapter.name)) continue;
        std::memcpy(adapter.hardwareAddress.data(), hw->sll_addr, hw->sll_halen < 6 ? hw->sll_halen : 6);
        for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
            if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
            if (InterfaceOf(entry->ifa_name) != adapter.name) continue;
            adapter.addresses.push_back(Dotted(entry->ifa_addr));
            adapter.masks.push_back(Dotted(entry->ifa_netmask));
        }
        adapter.gateways = GatewaysOf(adapter.name);
        adapters.push_back(std::move(adapter));
    }
    freeifaddrs(list);
    return adapters;
}

#elif defined(_WIN32)

namespace {

// The adapter's TCP/IP interface value ("IPAddress" or "SubnetMask"), a
// multi-string, split into its texts; empty when the key or value is missing.
AddressList RegistryMultiString(const std::string& adapterName, const wchar_t* valueName) {
    AddressList texts;
    const std::wstring keyName =
        L"SYSTEM\\CurrentControlSet\\services\\Tcpip\\Parameters\\Interfaces\\" + WideFromUtf8(adapterName);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return texts;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && size > 0) {
        // Room for the terminators a value may lack; size counts bytes.
        std::wstring buffer(size / sizeof(wchar_t) + 2, L'\0');
        if (RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) ==
            ERROR_SUCCESS) {
            const size_t count = size / sizeof(wchar_t);
            for (size_t at = 0; at < count && buffer[at] != L'\0';) {
                const size_t end = buffer.find(L'\0', at);
                texts.push_back(Utf8FromWide(std::wstring_view(buffer).substr(at, end - at)));
                at = end + 1;
            }
        }
    }
    RegCloseKey(key);
    return texts;
}

}  // namespace

AddressList InterfaceAddressValue(const std::string& adapterName) {
    return RegistryMultiString(adapterName, L"IPAddress");
}
AddressList InterfaceMaskValue(const std::string& adapterName) {
    return RegistryMultiString(adapterName, L"SubnetMask");
}

std::vector<EthernetAdapter> ListEthernetAdapters() {
    std::vector<EthernetAdapter> adapters;
    ULONG size = sizeof(IP_ADAPTER_INFO);
    auto buffer = std::make_unique<unsigned char[]>(size);
    DWORD result = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.get()), &size);
    if (result == ERROR_BUFFER_OVERFLOW) {
        buffer = std::make_unique<unsigned char[]>(size);
        result = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.get()), &size);
    }
    if (result != NO_ERROR) return adapters;
    for (auto* record = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.get()); record; record = record->Next) {
        if (record->Type != MIB_IF_TYPE_ETHERNET) continue;
        EthernetAdapter adapter;
        adapter.name = record->AdapterName;
        std::memcpy(adapter.hardwareAddress.data(), record->Address,
                    record->AddressLength < 6 ? record->AddressLength : 6);
        for (auto* entry = &record->IpAddressList; entry; entry = entry->Next) {
            adapter.addresses.push_back(entry->IpAddress.String);
            adapter.masks.push_back(entry->IpMask.String);
        }
        for (auto* entry = &record->GatewayList; entry; entry = entry->Next)
            adapter.gateways.push_back(entry->IpAddress.String);
        adapters.push_back(std::move(adapter));
    }
    return adapters;
}

#else

// Other POSIX systems: no adapter listing yet, so no local address is known.
AddressList InterfaceAddressValue(const std::string&) {
    return {};
}
AddressList InterfaceMaskValue(const std::string&) {
    return {};
}
std::vector<EthernetAdapter> ListEthernetAdapters() {
    return {};
}

#endif

}  // namespace quillane
