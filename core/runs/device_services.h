#pragma once

namespace quillane {

class StationState;

// The device endpoint (port 25005, joined to 224.0.3.0) with its receive thread,
// and the destination port of device commands.
void StartDeviceEndpoint(StationState& station);
// Joins the reply group on the default interface and on every network card
// with an IPv4 address; memberships already held stay as they are.
void JoinReplyGroup(StationState& station);
// The command loop thread and its wake event.
void StartCommandLoop(StationState& station);
// Tells the loop to end, wakes it and waits at most 2000 ms.
void StopCommandLoop(StationState& station);

}  // namespace quillane
