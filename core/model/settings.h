#pragma once

// "Config.ini" (language) and "Quillane.ini" (main settings) in the
// executable's folder. Every change is written at once, key by key.

#include <array>
#include <cstdint>
#include <string>

#include "model/device_types.h"
#include "support/exe_dir.h"

namespace quillane {

// The most devices an upgrade run keeps in their upgrade at once.
inline constexpr int kMaxUpgradeParallel = 32;

// CurLanguage of "Config.ini": 2 for English, otherwise 1 (3 is taken as 1).
int ReadLanguage(const std::string& appDir);

struct MainSettings {
    bool created = false;  // the file did not exist and was written with defaults
    uint32_t startIP = 0;  // number form (first octet most significant)
    uint32_t endIP = 0;
    int findType = 0;  // 0 auto search, 1 specified IP
    std::string updateFile;
    std::array<int, kDeviceTypeCount> filters =
        AllListed();  // per device type, table order; non-zero: listed
    // Read only (an operator adds them; the first start does not write them):
    int upgradeParallel = 1;     // UpgradeParallel, 1 .. kMaxUpgradeParallel; other values read 1
    int upgradeMaxFailures = 0;  // UpgradeMaxFailures; 0 (and below, or text): no limit

    static std::array<int, kDeviceTypeCount> AllListed() {
        std::array<int, kDeviceTypeCount> all;
        all.fill(1);
        return all;
    }
};

// Creates "Quillane.ini" with its defaults when it does not exist (then the
// result carries the first-start values: range 192.168.44.1-192.168.44.250,
// find type 0, all filters 1, no file); otherwise reads it. A damaged file
// gives the defaults of each key (addresses 0, find type 0, filters 1; a
// filter holding text reads 0) and is left as it is.
MainSettings LoadOrCreateMainSettings(const std::string& appDir);

// Later changes, each written at once. The result says whether the file was
// written; callers may ignore it (the value then holds for this run only).
bool WriteFindType(const std::string& appDir, int findType);                   // "%d"
bool WriteRange(const std::string& appDir, uint32_t startIP, uint32_t endIP);  // "%d" of each, signed
bool WriteFilter(const std::string& appDir, int filterIndex, int value);       // index into kDeviceTypes
// The path as chosen; a path with a line break cannot be stored and is refused.
bool WriteUpdateFile(const std::string& appDir, const std::string& path);

}  // namespace quillane
