#pragma once

#include <cstdint>

#include "runs/address_change_batch.h"
#include "runs/run_requests.h"

namespace quillane {

class StationState;

inline constexpr int kChangePauseEvery = 20;  // rows handled between two pauses
inline constexpr uint32_t kChangePauseMs = 10;

// The address-change batch, called by the command loop for each request: every
// chosen row, in table order, gets its new settings by the edit type and one
// command, direct to a device in one of the workstation's segments, else to
// the command group. Holds m_ListLock throughout; ends early between two rows
// when the operator asks to stop, and at once on the range error; returns the
// window's controls to idle.
// The batch the request gives the table's chosen rows, against the local
// addresses as last asked; nothing is sent. Takes m_ListLock.
AddressChangeBatch PlanBatchOverTable(StationState& station, const AddressChangeRequest& request);

void SendAddressChanges(StationState& station, const AddressChangeRequest& request);

}  // namespace quillane
