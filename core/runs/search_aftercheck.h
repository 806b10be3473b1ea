#pragma once

// Once a search has settled, the first trouble the fleet check finds in the
// table (two devices on one address, a shared group number, a device outside
// every local segment, a non-host address) is shown on the note line. The
// table's texts stay as they are.

#include <cstdint>

namespace quillane {

class StationState;

// No new row for this long after the probes went out: the search has settled.
inline constexpr uint32_t kSearchSettleMs = 1500;

class SearchAftercheck {
public:
    // The probes of a search are out (the table was emptied before them).
    void SearchSent(uint32_t now);
    // On each pass of the command loop. True when the check ran.
    bool Pass(StationState& station, uint32_t now);

private:
    bool m_pending = false;
    uint32_t m_since = 0;  // probes sent, or the last new row
    int m_rows = 0;
};

}  // namespace quillane
