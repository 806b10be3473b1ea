#pragma once

// What must hold before an upgrade run sends its first command: a device sent
// into its loader with nothing able to answer it waits 10 s and fails, so the
// run checks the file and its own services first.

#include <cstdint>
#include <string>

#include "model/language.h"
#include "support/udp_socket.h"

namespace quillane {

struct UpgradePreflightInput {
    std::string updateFile;  // UTF-8
    uint16_t bootPort = 67, tftpPort = 69;
    // BindFailure::None: the service listens on its port; otherwise why it could not.
    BindFailure bootService = BindFailure::None;
    BindFailure tftpService = BindFailure::None;
};

struct UpgradePreflightProblem {
    enum class Kind {
        kNone,
        kPathTooLong,     // the boot reply's file field cannot carry the path
        kFileUnreadable,  // not a regular file that opens for reading
        kFileEmpty,
        kBootService,  // the boot responder does not listen
        kTftpService,  // the TFTP server does not listen
    };
    Kind kind = Kind::kNone;
    size_t pathBytes = 0;                 // kPathTooLong: the path's length in the system's code page
    BindFailure why = BindFailure::None;  // the services: why the port could not be had
    uint16_t port = 0;
};

// The longest path a boot reply carries: its file field holds a terminating zero too.
inline constexpr size_t kLongestBootFilePath = 127;

UpgradePreflightProblem CheckUpgradePreflight(const UpgradePreflightInput& input);

// The station's firmware path and whether its boot responder and TFTP server
// hold their ports (asking the system why, for one that does not).
class StationState;
UpgradePreflightInput GatherUpgradePreflight(const StationState& station, const std::string& updateFile);

// The message box text in the window's language; empty for one without texts.
std::string DescribePreflightProblem(const UpgradePreflightProblem& problem, Language language);

}  // namespace quillane
