#include "actions/adapter_query.h"
#include "mainwindow/station.h"

namespace quillane {

// Rebuilds the local address lists from the Ethernet adapters' configured
// addresses and publishes them as one snapshot, so readers on other threads
// (the boot responder) never see a half-built pair of lists.
void Station::RefreshLocalAddresses() {
    if (m_queryLocalAddresses) {
        SetLocalAddresses(m_queryLocalAddresses());
        return;
    }
    CIPAddressToos tools;
    AddressList names;
    tools.QueryAdapters(&names, nullptr, nullptr, nullptr, nullptr);
    LocalAddressLists lists;
    for (const auto& name : names) {
        AddressList addresses, masks;
        CIPAddressToos::ReadInterfaceAddresses(addresses, name);
        CIPAddressToos::ReadInterfaceMasks(masks, name);
        AppendAddressPairs(addresses, masks, lists.ips, lists.masks);
    }
    SetLocalAddresses(std::move(lists));
}

}  // namespace quillane
