#include "devicelink/device_services.h"

#include "mainwindow/station.h"

namespace quillane {

// Placeholders until the command loop lands.
void StartDeviceEndpoint(Station&) {}
void StartCommandLoop(Station&) {}
void StopCommandLoop(Station&) {}

}  // namespace quillane
