#pragma once

// The device's side of a TFTP read (RFC 1350, options per RFC 2347/2348/2349):
// request the file, lock onto the server's transfer port, acknowledge every
// block in order, hash what arrives. Block numbers wrap from 65535 to 0.

#include <atomic>
#include <cstdint>
#include <string>

#include "device_config.h"
#include "drop_dice.h"
#include "event_log.h"

namespace devsim {

struct FetchSettings {
    int32_t deviceNumber = 0;
    uint32_t localIp = 0;  // host order; the request leaves from here
    uint32_t serverIp = 0;
    uint16_t serverPort = 69;
    std::string file;
    TftpOptions options;
    int64_t stallAfterBlock = -1;
    int64_t abortAfterBlock = -1;
    uint32_t flashDelayMs = 0;  // before each data block's acknowledgement
    double dropShare = 0;
    DropDice* dice = nullptr;
    EventLog* log = nullptr;
    const std::atomic<bool>* stop = nullptr;
};

struct FetchOutcome {
    bool ok = false;
    bool stalled = false;
    std::string error;
    uint64_t bytes = 0;
    uint64_t blocks = 0;
    std::string sha256;
    uint32_t blockSize = 512;
    int64_t announcedSize = -1;   // tsize of the option acknowledgement, -1 without
    std::string acceptedOptions;  // what the option acknowledgement carried
    double milliseconds = 0;
};

FetchOutcome FetchFile(const FetchSettings& settings);

}  // namespace devsim
