#pragma once

#include <cstdint>
#include <memory>

namespace quillane {

// One received datagram waiting for the command loop: a copy of the whole
// datagram plus one zero byte, owned by the entry until the loop handled it.
struct ST_CMD_RUN_tag {
    uint8_t command = 0;  // byte 4, the message code
    int32_t length = 0;
    std::unique_ptr<uint8_t[]> data;
};

}  // namespace quillane
