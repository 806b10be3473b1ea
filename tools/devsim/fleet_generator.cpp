#include <random>
#include <set>

#include "device_config.h"

namespace devsim {

std::vector<DeviceConfig> GenerateFleet(const GeneratorSettings& settings, const DeviceConfig& defaults) {
    std::mt19937_64 random(settings.seed);
    auto draw = [&random](uint64_t bound) { return static_cast<uint32_t>(random() % bound); };

    std::vector<std::optional<int32_t>> types = settings.types;
    if (types.empty()) {
        for (int32_t code : KnownTypeCodes()) types.emplace_back(code);
        types.emplace_back(std::nullopt);  // one share in twelve without a type
    }
    const uint32_t network = settings.firstIp & settings.mask;
    const uint32_t gateway = settings.gateway.value_or(network + 1);
    const uint32_t server = settings.server.value_or(network + 1);

    std::vector<DeviceConfig> fleet;
    std::set<uint32_t> usedLow;
    const uint32_t count = std::min<uint32_t>(settings.count, 65535);
    fleet.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        DeviceConfig device = defaults;
        uint32_t low = 0;
        do low = 1 + draw(65535);
        while (!usedLow.insert(low).second);
        // A quarter of the devices carry a number above 65535.
        const uint32_t high = draw(4) == 0 ? 1 + draw(300) : 0;
        device.number = static_cast<int32_t>(high * 65536 + low);
        device.typeCode = types[draw(types.size())];
        device.version = {static_cast<uint8_t>(draw(10)), static_cast<uint8_t>(1 + draw(28)),
                          static_cast<uint8_t>(1 + draw(12)), static_cast<uint8_t>(15 + draw(10))};
        device.ip = settings.firstIp + i;
        device.mask = settings.mask;
        device.gateway = gateway;
        device.server = server;
        device.standby = settings.standby;
        device.mac = MacFromIp(device.ip);
        fleet.push_back(device);
    }
    return fleet;
}

}  // namespace devsim
