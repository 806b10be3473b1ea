#include "device_config.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace devsim {
namespace {

bool ParseUnsigned(const std::string& text, uint64_t max, uint64_t& out) {
    if (text.empty() || text.size() > 20) return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > max) return false;
    }
    out = value;
    return true;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator)) parts.push_back(part);
    return parts;
}

}  // namespace

bool ParseAddress(const std::string& text, uint32_t& out) {
    const auto parts = Split(text, '.');
    if (parts.size() != 4 || text.back() == '.') return false;
    uint32_t value = 0;
    for (const auto& part : parts) {
        uint64_t octet = 0;
        if (part.size() > 3 || !ParseUnsigned(part, 255, octet)) return false;
        value = (value << 8) | static_cast<uint32_t>(octet);
    }
    out = value;
    return true;
}

std::string FormatAddress(uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", address >> 24, (address >> 16) & 255,
                  (address >> 8) & 255, address & 255);
    return text;
}

bool ParseVersion(const std::string& text, std::array<uint8_t, 4>& out) {
    const auto parts = Split(text, '.');
    if (parts.size() != 4 || text.back() == '.') return false;
    uint64_t year = 0, b2 = 0, b1 = 0, b0 = 0;
    if (!ParseUnsigned(parts[0], 2255, year) || year < 2000 || !ParseUnsigned(parts[1], 255, b2) ||
        !ParseUnsigned(parts[2], 255, b1) || !ParseUnsigned(parts[3], 255, b0))
        return false;
    out = {static_cast<uint8_t>(b0), static_cast<uint8_t>(b1), static_cast<uint8_t>(b2),
           static_cast<uint8_t>(year - 2000)};
    return true;
}

std::string FormatVersion(const std::array<uint8_t, 4>& version) {
    char text[24];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", version[3] + 2000, version[2], version[1], version[0]);
    return text;
}

bool ParseMac(const std::string& text, std::array<uint8_t, 6>& out) {
    const auto parts = Split(text, ':');
    if (parts.size() != 6 || text.back() == ':') return false;
    std::array<uint8_t, 6> mac{};
    for (size_t i = 0; i < 6; ++i) {
        if (parts[i].size() != 2) return false;
        char* end = nullptr;
        const long value = std::strtol(parts[i].c_str(), &end, 16);
        if (*end != '\0') return false;
        mac[i] = static_cast<uint8_t>(value);
    }
    out = mac;
    return true;
}

std::string FormatMac(const std::array<uint8_t, 6>& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
    return text;
}

bool ParseTftpOptions(const std::string& text, TftpOptions& out) {
    TftpOptions options;
    if (text == "none") {
        out = options;
        return true;
    }
    for (const auto& item : Split(text, ',')) {
        const auto equal = item.find('=');
        const std::string name = item.substr(0, equal);
        const std::string value = equal == std::string::npos ? "" : item.substr(equal + 1);
        uint64_t number = 0;
        if (name == "blksize") {
            if (value.empty())
                number = 1024;
            else if (!ParseUnsigned(value, 65464, number) || number < 8)
                return false;
            options.blksize = static_cast<uint32_t>(number);
        } else if (name == "tsize" && value.empty()) {
            options.tsize = true;
        } else if (name == "timeout") {
            if (value.empty())
                number = 2;
            else if (!ParseUnsigned(value, 255, number) || number < 1)
                return false;
            options.timeout = static_cast<uint32_t>(number);
        } else {
            return false;
        }
        options.none = false;
    }
    if (options.none) return false;
    out = options;
    return true;
}

std::string FormatTftpOptions(const TftpOptions& options) {
    if (options.none) return "none";
    std::string text;
    auto add = [&text](const std::string& item) { text += (text.empty() ? "" : ",") + item; };
    if (options.blksize) add("blksize=" + std::to_string(options.blksize));
    if (options.tsize) add("tsize");
    if (options.timeout) add("timeout=" + std::to_string(options.timeout));
    return text;
}

bool ApplyFaults(const std::string& text, Faults& faults, std::string& error) {
    Faults result = faults;
    for (const auto& item : Split(text, ',')) {
        if (item.empty()) continue;
        const auto equal = item.find('=');
        const std::string name = item.substr(0, equal);
        const std::string value = equal == std::string::npos ? "" : item.substr(equal + 1);
        uint64_t number = 0;
        const bool hasNumber = ParseUnsigned(value, 0xFFFFFFFFu, number);
        if (name == "silent" && value.empty())
            result.silent = true;
        else if (name == "ignore-upgrade" && value.empty())
            result.ignoreUpgrade = true;
        else if (name == "ignore-change" && value.empty())
            result.ignoreChange = true;
        else if (name == "no-boot" && value.empty())
            result.noBootRequest = true;
        else if (name == "keep-version" && value.empty())
            result.keepVersion = true;
        else if (name == "bad-checksum-silent" && value.empty())
            result.badChecksumSilent = true;
        else if (name == "search-delay" && hasNumber)
            result.searchDelayMs = static_cast<uint32_t>(number);
        else if (name == "change-delay" && hasNumber)
            result.changeDelayMs = static_cast<uint32_t>(number);
        else if (name == "boot-delay" && hasNumber)
            result.bootDelayMs = static_cast<uint32_t>(number);
        else if (name == "flash-delay" && hasNumber && number <= 10000)
            result.flashDelayMs = static_cast<uint32_t>(number);
        else if (name == "stall-after" && hasNumber)
            result.stallAfterBlock = static_cast<int64_t>(number);
        else if (name == "abort-after" && hasNumber)
            result.abortAfterBlock = static_cast<int64_t>(number);
        else if (name == "drop") {
            char* end = nullptr;
            const double share = value.empty() ? -1 : std::strtod(value.c_str(), &end);
            if (share < 0 || share > 1 || *end != '\0') {
                error = "drop wants a share between 0 and 1: " + item;
                return false;
            }
            result.dropShare = share;
        } else {
            error = "unknown fault: " + item;
            return false;
        }
    }
    faults = result;
    return true;
}

const std::vector<int32_t>& KnownTypeCodes() {
    static const std::vector<int32_t> codes = {51,   6111, 6113, 6310, 6401, 6411,
                                               6418, 6463, 6801, 6825, 7118};
    return codes;
}

std::array<uint8_t, 6> MacFromIp(uint32_t ip) {
    return {0x02,
            0x51,
            static_cast<uint8_t>(ip >> 24),
            static_cast<uint8_t>(ip >> 16),
            static_cast<uint8_t>(ip >> 8),
            static_cast<uint8_t>(ip)};
}

}  // namespace devsim
