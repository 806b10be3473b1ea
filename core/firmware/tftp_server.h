#pragma once

#include <atomic>
#include <cstdint>

namespace quillane {

// Placeholder until firmware delivery lands: the row of the device being upgraded.
class TftpServer {
public:
    std::atomic<int32_t> currentRow{0};
};

}  // namespace quillane
