#pragma once

// "Config.ini" (language) and "Quillane.ini" (main settings) in the
// executable's folder. Every change is written at once, key by key.

#include <array>
#include <cstdint>
#include <string>

namespace quillane {

// The eleven device-type filter keys, in the window's flag order:
// PlayDev, MorePlayDev, PowerDev, SoundBoxDev, AlarmDev, TelCallDev,
// SoundCollectionDev, SmallPoxSoundBoxDev, bPowerManageDev, bAmpMonitorDev,
// bSenseInterfaceDev.
inline constexpr int kFilterCount = 11;
extern const std::array<const char*, kFilterCount> kFilterKeys;

// CurLanguage of "Config.ini": 2 for English, otherwise 1 (3 is taken as 1).
int ReadLanguage(const std::string& appDir);

struct MainSettings {
    bool created = false;           // the file did not exist and was written with defaults
    uint32_t startIP = 0;           // number form (first octet most significant)
    uint32_t endIP = 0;
    int findType = 0;               // 0 auto search, 1 specified IP
    std::string updateFile;
    std::array<int, kFilterCount> filters{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
};

// Creates "Quillane.ini" with its defaults when it does not exist (then the
// result carries the first-start values: range 192.168.44.1-192.168.44.250,
// find type 0, all filters 1, no file); otherwise reads it.
MainSettings LoadOrCreateMainSettings(const std::string& appDir);

void WriteFindType(const std::string& appDir, int findType);
void WriteRange(const std::string& appDir, uint32_t startIP, uint32_t endIP);  // "%d" of each
void WriteFilter(const std::string& appDir, int filterIndex, int value);
void WriteUpdateFile(const std::string& appDir, const std::string& path);

}  // namespace quillane
