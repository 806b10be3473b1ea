#pragma once

// Reproducible loss: each device rolls its own small generator, seeded from
// the fleet seed and its number, so a run with the same seed and the same
// traffic loses the same datagrams.

#include <cstdint>

namespace devsim {

class DropDice {
public:
    DropDice() = default;
    DropDice(uint64_t seed, uint64_t stream)
        : m_state(seed * 0x9E3779B97F4A7C15ull ^ (stream + 0x632BE59BD9B4E019ull)) {}

    // True when this datagram is to be lost.
    bool Drop(double share) {
        if (share <= 0) return false;
        return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0) < share;
    }

    uint64_t Next() {  // splitmix64
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

private:
    uint64_t m_state = 0;
};

}  // namespace devsim
