#pragma once

#include <string>
#include <vector>

namespace quillane {

// The workstation's IPv4 addresses and their masks, dotted text, index-aligned.
struct LocalAddressLists {
    std::vector<std::string> ips;
    std::vector<std::string> masks;
};

// The lists as the Ethernet adapters' configured addresses give them now.
LocalAddressLists QueryLocalAddresses();

}  // namespace quillane
