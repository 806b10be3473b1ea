#pragma once

// Device replies as bytes, for feeding the queue and the reply handler.

#include <cstdint>
#include <vector>

namespace quillane {

struct FakeDevice {
    int32_t number = 1;
    int32_t typeCode = 6801;                                            // 0: the 52-byte reply without a type
    uint32_t ip = 0xC0A8010A, mask = 0xFFFFFF00, gateway = 0xC0A80101;  // number form
    uint32_t server = 0xC0A801FA, standby = 0xC0A801FB;                 // number form, sent as octets
    uint8_t version[4] = {0x05, 0x0C, 0x06, 0x0F};
};

inline void PutLE(std::vector<uint8_t>& d, size_t offset, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) d[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutOctets(std::vector<uint8_t>& d, size_t offset, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) d[offset + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

inline std::vector<uint8_t> SearchReplyBytes(const FakeDevice& dev) {
    std::vector<uint8_t> d(dev.typeCode ? 56 : 52, 0);
    PutLE(d, 0, static_cast<uint32_t>(d.size()));
    d[4] = 0xF1;
    PutLE(d, 8, static_cast<uint32_t>(dev.number));
    PutLE(d, 16, dev.ip);
    PutLE(d, 20, dev.mask);
    PutLE(d, 24, dev.gateway);
    PutOctets(d, 28, dev.server);
    PutOctets(d, 32, dev.standby);
    for (size_t i = 0; i < 4; ++i) d[44 + i] = dev.version[i];
    if (dev.typeCode) PutLE(d, 52, static_cast<uint32_t>(dev.typeCode));
    return d;
}

inline std::vector<uint8_t> ShortResultBytes(int32_t number, uint32_t result) {
    std::vector<uint8_t> d(20, 0);
    PutLE(d, 0, 20);
    d[4] = 0xF0;
    PutLE(d, 8, static_cast<uint32_t>(number));
    PutLE(d, 16, result);
    return d;
}

// The settings now in force are those of `now`; `now.number` is the number to show from now on.
inline std::vector<uint8_t> FullResultBytes(int32_t number, uint32_t result, const FakeDevice& now) {
    std::vector<uint8_t> d(52, 0);
    PutLE(d, 0, 52);
    d[4] = 0xF2;
    PutLE(d, 8, static_cast<uint32_t>(number));
    PutLE(d, 12, static_cast<uint32_t>(now.number));
    PutLE(d, 16, result);
    PutLE(d, 20, now.ip);
    PutLE(d, 24, now.mask);
    PutLE(d, 28, now.gateway);
    PutOctets(d, 32, now.server);
    PutOctets(d, 36, now.standby);
    return d;
}

}  // namespace quillane
