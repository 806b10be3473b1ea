#pragma once

// What one simulated device is: its identity, its address settings and the
// misbehaviour it was told to show. Addresses are host-order numbers
// (192.168.1.10 is 0xC0A8010A), the device protocol's "number form".

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace devsim {

enum class ResultForm { Short, Full };

// Which TFTP options a device asks for when it fetches its firmware.
struct TftpOptions {
    bool none = true;      // plain RFC 1350 request
    uint32_t blksize = 0;  // 0 = not asked
    bool tsize = false;
    uint32_t timeout = 0;  // seconds; 0 = not asked
};

struct Faults {
    bool silent = false;             // never answers anything
    uint32_t searchDelayMs = 0;      // search replies leave this late
    uint32_t changeDelayMs = 0;      // change results leave this late
    bool ignoreUpgrade = false;      // the upgrade command is not acted on
    bool ignoreChange = false;       // address changes are neither taken nor answered
    bool noBootRequest = false;      // acts on it but never asks for its boot address
    uint32_t bootDelayMs = 0;        // restarts this late: the first boot request leaves after it
    uint32_t flashDelayMs = 0;       // writes each data block to flash this long before acknowledging it
    bool keepVersion = false;        // loads the whole image, then still reports its old version
    int64_t stallAfterBlock = -1;    // stops acknowledging after this many data blocks
    int64_t abortAfterBlock = -1;    // sends an error packet instead of this many + 1st acknowledgement
    double dropShare = 0.0;          // share of datagrams lost, both directions
    bool badChecksumSilent = false;  // a wrong checksum gets no answer at all
};

struct DeviceConfig {
    int32_t number = 0;
    std::optional<int32_t> typeCode;   // absent: the 52-byte search reply
    std::array<uint8_t, 4> version{};  // as carried: byte 3 + 2000, byte 2, byte 1, byte 0
    uint32_t ip = 0;
    uint32_t mask = 0;
    uint32_t gateway = 0;
    uint32_t server = 0;
    uint32_t standby = 0;
    std::array<uint8_t, 6> mac{};
    ResultForm resultForm = ResultForm::Full;
    TftpOptions tftp;
    Faults faults;
};

// Parsing helpers shared by the command line and the fleet file. Each returns
// false (and leaves the output alone) on text it does not accept.
bool ParseAddress(const std::string& text, uint32_t& out);
std::string FormatAddress(uint32_t address);
bool ParseVersion(const std::string& text, std::array<uint8_t, 4>& out);
std::string FormatVersion(const std::array<uint8_t, 4>& version);
bool ParseMac(const std::string& text, std::array<uint8_t, 6>& out);
std::string FormatMac(const std::array<uint8_t, 6>& mac);
// A locally administered MAC address made of the device's IPv4 address, so
// that every simulated device has its own.
std::array<uint8_t, 6> MacFromIp(uint32_t ip);
bool ParseTftpOptions(const std::string& text, TftpOptions& out);
std::string FormatTftpOptions(const TftpOptions& options);
// Fault list "silent,search-delay=300,stall-after=5,drop=0.2,..." (see --help).
bool ApplyFaults(const std::string& text, Faults& faults, std::string& error);

// One device per line of `key=value` words; see the help text for the keys.
// On failure `error` names the line and the problem.
bool LoadFleetFile(const std::string& path, const DeviceConfig& defaults, std::vector<DeviceConfig>& fleet,
                   std::string& error);

struct GeneratorSettings {
    uint32_t count = 0;
    uint64_t seed = 1;
    uint32_t firstIp = 0;
    uint32_t mask = 0xFFFF0000u;
    std::optional<uint32_t> gateway;  // default: first host of the network
    std::optional<uint32_t> server;   // default: first host of the network
    uint32_t standby = 0;
    // Type codes to draw from; an absent entry stands for "no type".
    std::vector<std::optional<int32_t>> types;
};

// Deterministic for a given seed: consecutive addresses from firstIp, unique
// device numbers (some above 65535) whose low 16 bits are unique as well, so
// that the group form of the address change reaches exactly one device.
std::vector<DeviceConfig> GenerateFleet(const GeneratorSettings& settings, const DeviceConfig& defaults);

// The known device type codes, in the order of the device protocol's table.
const std::vector<int32_t>& KnownTypeCodes();

}  // namespace devsim
