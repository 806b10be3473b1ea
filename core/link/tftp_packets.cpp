#include "link/tftp_packets.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quillane {

namespace {

// Reads a zero-terminated text starting at `offset` within `end`; moves
// `offset` past its terminator (or to `end`).
std::string ReadText(const uint8_t* data, size_t end, size_t& offset) {
    const size_t start = offset;
    while (offset < end && data[offset] != 0) ++offset;
    std::string text(reinterpret_cast<const char*>(data) + start, offset - start);
    if (offset < end) ++offset;
    return text;
}

void AppendText(std::vector<uint8_t>& packet, const std::string& text) {
    packet.insert(packet.end(), text.begin(), text.end());
    packet.push_back(0);
}

void AppendWord(std::vector<uint8_t>& packet, uint16_t value) {
    packet.push_back(static_cast<uint8_t>(value >> 8));
    packet.push_back(static_cast<uint8_t>(value & 0xFF));
}

}  // namespace

uint16_t ReadTftpWord(const uint8_t* data, size_t length, size_t offset) {
    const uint8_t high = offset < length ? data[offset] : 0;
    const uint8_t low = offset + 1 < length ? data[offset + 1] : 0;
    return static_cast<uint16_t>(high << 8 | low);
}

TftpRequestFields ParseTftpRequest(const uint8_t* data, size_t length) {
    TftpRequestFields request;
    length = std::min(length, kTftpMaxDatagram);
    request.opcode = ReadTftpWord(data, length, 0);
    // The last byte received is the terminator, whatever it holds.
    const size_t end = length > 0 ? length - 1 : 0;
    size_t offset = 2;
    if (offset >= end) return request;
    request.fileName = ReadText(data, end, offset);
    request.mode = ReadText(data, end, offset);
    while (offset < end) {
        TftpOption option;
        option.name = ReadText(data, end, offset);
        option.value = ReadText(data, end, offset);
        request.options.push_back(std::move(option));
    }
    return request;
}

bool NamesServedFile(const std::string& path, const std::string& servedFile, char localSeparator) {
    if (servedFile.empty() || path.empty()) return false;
    return path == servedFile || localSeparator + path == servedFile;
}

std::optional<TftpRefusal> CheckTftpRequest(const TftpRequestFields& request, const TftpRequestPolicy& policy,
                                            std::string& path) {
    if (request.fileName.empty() || request.fileName.size() > kTftpMaxNameLength)
        return TftpRefusal{4, "Malformed Request, Invalid/Missing Filename"};
    if (request.mode.empty() || request.mode.size() > kTftpMaxModeLength)
        return TftpRefusal{4, "Malformed Request, Invalid/Missing Mode"};
    std::string name = request.fileName;
    std::replace(name.begin(), name.end(), policy.foreignSeparator, policy.localSeparator);
    const std::string dotDot = std::string("..") + policy.localSeparator;
    if (name.find(dotDot) != std::string::npos) return TftpRefusal{2, "Access violation"};
    if (name.front() == policy.localSeparator) name.erase(0, 1);
    if (policy.homeDirectoryLength + name.size() >= kTftpMaxPathLength)
        return TftpRefusal{4, "Filename too large"};
    path = name;
    if (request.opcode == kTftpWriteRequest) return TftpRefusal{2, "PUT Access Denied"};
    if (!policy.readAllowed) return TftpRefusal{2, "GET Access Denied"};
    // Only the firmware file the operator chose is ever handed out.
    if (!NamesServedFile(path, policy.servedFile, policy.localSeparator))
        return TftpRefusal{2, "Access violation"};
    return std::nullopt;
}

uint16_t NegotiateBlockSize(const std::string& value, uint16_t maxBlockSize) {
    errno = 0;
    const unsigned long long asked = std::strtoull(value.c_str(), nullptr, 10);
    if (asked < kTftpBlockSize) return kTftpBlockSize;
    if (asked > maxBlockSize || errno == ERANGE) return maxBlockSize;
    return static_cast<uint16_t>(asked);
}

uint16_t NegotiateTimeout(const std::string& value) {
    const long long asked = std::strtoll(value.c_str(), nullptr, 10);  // saturates on overflow
    if (asked == 0) return 1;
    if (asked < 0 || asked > 255) return 255;
    return static_cast<uint16_t>(asked);
}

bool RequestsOption(const TftpRequestFields& request, const char* name) {
    return std::any_of(request.options.begin(), request.options.end(),
                       [name](const TftpOption& option) { return option.name == name; });
}

TftpNegotiation NegotiateOptions(const std::vector<TftpOption>& options, uint16_t maxBlockSize,
                                 uint32_t fileSize) {
    TftpNegotiation result;
    AppendWord(result.packet, kTftpOptionAck);
    for (const auto& option : options) {
        unsigned value = 0;
        if (option.name == "blksize") {
            result.blockSize = NegotiateBlockSize(option.value, maxBlockSize);
            value = result.blockSize;
        } else if (option.name == "tsize") {
            result.fileSize = fileSize;
            value = fileSize;
        } else if (option.name == "timeout") {
            result.timeout = NegotiateTimeout(option.value);
            value = *result.timeout;
        } else {
            continue;  // unknown options are not echoed
        }
        AppendText(result.packet, option.name);
        AppendText(result.packet, std::to_string(value));
    }
    return result;
}

std::vector<uint8_t> BuildTftpError(uint16_t code, const std::string& message) {
    std::vector<uint8_t> packet;
    AppendWord(packet, kTftpError);
    AppendWord(packet, code);
    AppendText(packet, message);
    return packet;
}

TftpErrorFields ParseTftpError(const uint8_t* data, size_t length) {
    TftpErrorFields fields;
    fields.code = ReadTftpWord(data, length, 2);
    size_t offset = 4;
    if (offset < length) fields.text = ReadText(data, length, offset);
    return fields;
}

}  // namespace quillane
