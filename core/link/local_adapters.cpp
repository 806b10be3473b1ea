#include "link/local_adapters.h"

#include "link/adapter_query.h"

namespace quillane {

// Built whole before anyone sees it: the caller publishes it as one snapshot,
// so readers on other threads (the boot responder) never see half a pair of lists.
LocalAddressLists QueryLocalAddresses() {
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
    return lists;
}

}  // namespace quillane
