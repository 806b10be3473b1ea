#include <fstream>
#include <set>
#include <sstream>

#include "device_config.h"

namespace devsim {
namespace {

bool ParseNumber(const std::string& text, int64_t low, int64_t high, int64_t& out) {
    if (text.empty() || text.size() > 11) return false;
    size_t used = 0;
    try {
        const long long value = std::stoll(text, &used, 10);
        if (used != text.size() || value < low || value > high) return false;
        out = value;
        return true;
    } catch (...) {
        return false;
    }
}

// Applies one `key=value` word to the device; an empty result means accepted.
std::string ApplyWord(const std::string& word, DeviceConfig& device, bool& hasNumber, bool& hasIp) {
    const auto equal = word.find('=');
    if (equal == std::string::npos) return "expected key=value, got '" + word + "'";
    const std::string key = word.substr(0, equal);
    const std::string value = word.substr(equal + 1);
    int64_t number = 0;
    auto address = [&](uint32_t& field) {
        return ParseAddress(value, field) ? std::string() : "not an address: " + word;
    };
    if (key == "number") {
        if (!ParseNumber(value, INT32_MIN, INT32_MAX, number)) return "bad device number: " + word;
        device.number = static_cast<int32_t>(number);
        hasNumber = true;
        return {};
    }
    if (key == "type") {
        if (value == "none") {
            device.typeCode.reset();
            return {};
        }
        if (!ParseNumber(value, INT32_MIN, INT32_MAX, number)) return "bad type code: " + word;
        device.typeCode = static_cast<int32_t>(number);
        return {};
    }
    if (key == "ip") {
        hasIp = true;
        return address(device.ip);
    }
    if (key == "mask") return address(device.mask);
    if (key == "gateway") return address(device.gateway);
    if (key == "server") return address(device.server);
    if (key == "standby") return address(device.standby);
    if (key == "version") return ParseVersion(value, device.version) ? std::string() : "bad version: " + word;
    if (key == "mac") return ParseMac(value, device.mac) ? std::string() : "bad hardware address: " + word;
    if (key == "result") {
        if (value == "short")
            device.resultForm = ResultForm::Short;
        else if (value == "full")
            device.resultForm = ResultForm::Full;
        else
            return "result is short or full: " + word;
        return {};
    }
    if (key == "tftp")
        return ParseTftpOptions(value, device.tftp) ? std::string() : "bad TFTP options: " + word;
    if (key == "faults") {
        std::string error;
        return ApplyFaults(value, device.faults, error) ? std::string() : error;
    }
    return "unknown key '" + key + "'";
}

}  // namespace

bool LoadFleetFile(const std::string& path, const DeviceConfig& defaults, std::vector<DeviceConfig>& fleet,
                   std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "cannot read fleet file " + path;
        return false;
    }
    std::vector<DeviceConfig> loaded;
    std::set<int32_t> numbers;
    std::string line;
    for (int lineNumber = 1; std::getline(file, line); ++lineNumber) {
        if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string word;
        DeviceConfig device = defaults;
        bool hasNumber = false, hasIp = false, any = false;
        while (words >> word) {
            any = true;
            const std::string problem = ApplyWord(word, device, hasNumber, hasIp);
            if (!problem.empty()) {
                error = path + ":" + std::to_string(lineNumber) + ": " + problem;
                return false;
            }
        }
        if (!any) continue;
        if (!hasNumber || !hasIp) {
            error = path + ":" + std::to_string(lineNumber) + ": every device needs number= and ip=";
            return false;
        }
        if (!numbers.insert(device.number).second) {
            error = path + ":" + std::to_string(lineNumber) + ": device number " +
                    std::to_string(device.number) + " is used twice";
            return false;
        }
        if (device.mac == std::array<uint8_t, 6>{}) device.mac = MacFromIp(device.ip);
        loaded.push_back(device);
    }
    if (loaded.empty()) {
        error = path + ": no device in the file";
        return false;
    }
    fleet = std::move(loaded);
    return true;
}

}  // namespace devsim
