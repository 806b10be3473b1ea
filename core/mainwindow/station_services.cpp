#include "devicelink/device_services.h"
#include "firmware/firmware_services.h"
#include "mainwindow/station.h"

namespace quillane {

// Started in this order at initialisation; stopped in the closing order, each
// wait bounded. Safe to call when nothing was started.
void Station::StartServices() {
    if (!m_network.startServices) return;
    if (m_network.firmwareServices) {
        StartTftpServer(*this);
        StartBootEndpoint(*this);
    }
    StartDeviceEndpoint(*this);
    StartCommandLoop(*this);
}

void Station::StopServices() {
    StopTftpServer(*this);
    StopCommandLoop(*this);
    UdpEndpointClose(m_DeviceEndpoint);
    UdpEndpointClose(m_BootEndpoint);
}

}  // namespace quillane
