#pragma once

namespace quillane {

class Station;

// The TFTP server with its listener thread (first service of the window).
void StartTftpServer(Station& station);
// The boot endpoint (port 67, broadcast on) with the boot-address responder.
void StartBootEndpoint(Station& station);
// Stops the TFTP server (bounded waits); the station deletes it when it goes.
void StopTftpServer(Station& station);

}  // namespace quillane
