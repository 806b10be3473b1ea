#pragma once

// Whether the station's services hold the UDP ports they were given and, for
// one that does not, why the system would not give it: the Upgrade button's
// check and the command-line tool's start ask the same question.

#include <cstdint>
#include <optional>
#include <string>

#include "support/udp_socket.h"

namespace quillane {

class StationState;

enum class StationService { kDeviceLink, kBootResponder, kTftpServer };

struct ServicePort {
    StationService service = StationService::kDeviceLink;
    uint16_t port = 0;                    // as configured
    BindFailure why = BindFailure::None;  // None: the service holds its port
};

ServicePort CheckServicePort(const StationState& station, StationService service);

// The first of the services the station runs (the boot responder and the
// TFTP server only with its firmware services) that lacks its port.
std::optional<ServicePort> FirstServiceWithoutPort(const StationState& station);

// Why a port could not be had, as a predicate after the port ("UDP port 69
// ..."), in the window's language (1 Chinese, anything else English).
std::string DescribePortFailure(BindFailure why, int language);

}  // namespace quillane
