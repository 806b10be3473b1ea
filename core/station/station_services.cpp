#include "runs/device_services.h"
#include "runs/firmware_services.h"
#include "station/station.h"

namespace quillane {

// Started in this order at initialisation. Stopped with every wait bounded,
// in the order in which nothing still running waits for what has gone: the
// command loop first (a range walk may hold the list lock that the transfer
// callbacks take), then the TFTP server (its transfers end the upgrade run and
// send on the device endpoint), then the device endpoint, and the boot
// endpoint last. Safe to call when nothing was started.
void Station::StartServices() {
    if (!Network().startServices) return;
    if (Network().firmwareServices) {
        StartTftpServer(*this);
        StartBootEndpoint(*this);
    }
    StartDeviceEndpoint(*this);
    StartCommandLoop(*this);
}

void Station::StopServices() {
    StopCommandLoop(*this);
    StopTftpServer(*this);
    UdpEndpointClose(m_DeviceEndpoint);
    UdpEndpointClose(m_BootEndpoint);
}

}  // namespace quillane
