#pragma once

#include <cstdint>
#include <functional>

#include "runs/run_requests.h"

namespace quillane {

class StationState;

inline constexpr int kSearchProbeCopies = 3;
inline constexpr uint32_t kRangePauseEvery = 20;  // addresses between two pauses of the range walk
inline constexpr uint32_t kRangePauseMs = 10;

// One search, with m_ListLock held throughout: empties the device table, then
// either sends the search probe three times to the command group (find type 0)
// or sends both range probes to every address of the request's range. The walk stops between two addresses
// once m_bLoopRun drops. Clears m_bSearchRequest when done, so a Find pressed meanwhile is absorbed by this
// search.
void RunSearch(StationState& station, const SearchRequest& request);

// Visits every address from `start` up to and including `end` (number form)
// while `keepGoing` holds, pausing after every 20th; ends after
// 255.255.255.255 at the latest. Returns the number of addresses visited.
uint64_t WalkRange(uint32_t start, uint32_t end, const std::function<bool()>& keepGoing,
                   const std::function<void(uint32_t)>& probe);

}  // namespace quillane
