#pragma once

// TFTP packets as the server reads and writes them: read/write requests with
// options, data, acknowledgement, error and option acknowledgement. Pure
// functions over bytes, so hostile input can be fed to them directly.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillane {

enum TftpOpcode : uint16_t {
    kTftpReadRequest = 1,
    kTftpWriteRequest = 2,
    kTftpData = 3,
    kTftpAck = 4,
    kTftpError = 5,
    kTftpOptionAck = 6,
};

inline constexpr size_t kTftpMaxDatagram = 516;  // longest datagram the server reads
inline constexpr uint16_t kTftpBlockSize = 512;
inline constexpr size_t kTftpMaxNameLength = 255;
inline constexpr size_t kTftpMaxModeLength = 25;
inline constexpr size_t kTftpMaxPathLength = 256;  // home folder + name must stay below

struct TftpOption {
    std::string name;  // as the client spelled it
    std::string value;
};

// The fields of a read or write request.
struct TftpRequestFields {
    uint16_t opcode = 0;
    std::string fileName;
    std::string mode;
    std::vector<TftpOption> options;
};

// Big-endian 16-bit field; bytes past `length` read as zero.
uint16_t ReadTftpWord(const uint8_t* data, size_t length, size_t offset);

// Splits a request (at most kTftpMaxDatagram bytes are looked at). The last
// byte received always counts as the final zero byte, so a request without it
// loses its last character instead of running past the datagram.
TftpRequestFields ParseTftpRequest(const uint8_t* data, size_t length);

// Why a request is refused: the error code and the text of the error packet.
struct TftpRefusal {
    uint16_t code = 0;
    std::string message;
};

// Settings the request checks need.
struct TftpRequestPolicy {
    char localSeparator = '/';
    char foreignSeparator = '\\';
    size_t homeDirectoryLength = 0;
    bool readAllowed = true;
    std::string servedFile;  // the only file a read request may name
};

// Checks a read or write request in the server's order (name, mode, parent
// references, length, write, read permission, served file). On acceptance
// `path` holds the requested name with local separators and no leading one.
std::optional<TftpRefusal> CheckTftpRequest(const TftpRequestFields& request, const TftpRequestPolicy& policy,
                                            std::string& path);

// Whether a requested name (local separators, leading one removed) names the
// served file.
bool NamesServedFile(const std::string& path, const std::string& servedFile, char localSeparator);

// Option values: blksize as unsigned decimal clamped to [512, maxBlockSize];
// timeout as signed decimal, 0 -> 1, negative or above 255 -> 255.
uint16_t NegotiateBlockSize(const std::string& value, uint16_t maxBlockSize);
uint16_t NegotiateTimeout(const std::string& value);

bool RequestsOption(const TftpRequestFields& request, const char* name);

// The outcome of option negotiation: the option acknowledgement packet (the
// accepted options in the client's order and spelling) and the values agreed.
struct TftpNegotiation {
    std::vector<uint8_t> packet;
    uint16_t blockSize = kTftpBlockSize;
    std::optional<uint16_t> timeout;
    std::optional<uint32_t> fileSize;  // set when tsize was asked for
};
TftpNegotiation NegotiateOptions(const std::vector<TftpOption>& options, uint16_t maxBlockSize,
                                 uint32_t fileSize);

std::vector<uint8_t> BuildTftpError(uint16_t code, const std::string& message);

// An error packet's code and text (bounded by the datagram).
struct TftpErrorFields {
    uint16_t code = 0;
    std::string text;
};
TftpErrorFields ParseTftpError(const uint8_t* data, size_t length);

}  // namespace quillane
