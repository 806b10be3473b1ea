#include "link/local_adapters.h"

#include "link/adapter_query.h"

namespace quillane {

// Built whole before anyone sees it: the caller publishes it as one snapshot,
// so readers on other threads (the boot responder) never see half a pair of lists.
LocalAddressLists QueryLocalAddresses() {
    LocalAddressLists lists;
    for (const EthernetAdapter& adapter : ListEthernetAdapters()) {
        const AdapterAddressSources sources{true, InterfaceAddressValue(adapter.name),
                                            InterfaceMaskValue(adapter.name), adapter.addresses,
                                            adapter.masks};
        AppendAdapterAddresses(sources, lists.ips, lists.masks);
    }
    return lists;
}

}  // namespace quillane
