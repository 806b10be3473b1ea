#include "firmware/firmware_services.h"

#include "mainwindow/station.h"

namespace quillane {

// Placeholders until firmware delivery lands.
void StartTftpServer(Station&) {}
void StartBootEndpoint(Station&) {}
void StopTftpServer(Station&) {}

}  // namespace quillane
