#pragma once

namespace quillane {

class StationState;

// The TFTP server with its listener thread (first service of the window).
void StartTftpServer(StationState& station);
// The boot endpoint (port 67, broadcast on) with the boot-address responder.
void StartBootEndpoint(StationState& station);
// Stops the TFTP server (bounded waits); the station deletes it when it goes.
void StopTftpServer(StationState& station);

}  // namespace quillane
