#include "model/settings.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

#include "support/profile.h"
#include "support/utf8_files.h"

namespace quillane {

namespace {

constexpr const char* kMainSection = "Quillane";
constexpr size_t kMaxUpdatePathChars = 259;

// The range the window shows after a first start; the file gets 192.168.40.x.
constexpr uint32_t kFirstStartShownStart = 0xC0A82C01;  // 192.168.44.1
constexpr uint32_t kFirstStartShownEnd = 0xC0A82CFA;    // 192.168.44.250

// Signed decimal, as "%d" writes it.
std::string Decimal(int32_t value) {
    return std::to_string(value);
}

}  // namespace

int ReadLanguage(const std::string& appDir) {
    const int32_t value =
        ReadProfileInt(SettingsFilePath(appDir, "Config.ini"), "LANGUAGE", "CurLanguage", 1);
    return value == 2 ? 2 : 1;  // 0, 3 and anything out of range: Chinese
}

MainSettings LoadOrCreateMainSettings(const std::string& appDir) {
    const std::string path = SettingsFilePath(appDir, "Quillane.ini");
    MainSettings settings;
    std::error_code ec;
    const bool exists = std::filesystem::exists(PathFromUtf8(path), ec) || ec;  // unsure: never overwrite
    if (!exists) {
        std::vector<ProfileEntry> defaults = {
            {"StartIP", "0xC0A82801"},
            {"EndIP", "0xC0A828FA"},
            {"CurFindType", std::nullopt},
            {"IP", "0xC0A82801"},
            {"Mask", "0xFFFFFF00"},
            {"GateWay", "0xC0A82801"},
            {"ServerIP", "0xC0A828FA"},
            {"BackServerIP", "0xC0A828FB"},
            {"IPCheck", "1"},
            {"MaskCheck", "1"},
            {"GateWayCheck", "1"},
            {"ServerIPCheck", "1"},
            {"BackServerIPCheck", "1"},
            {"EditType", "0"},
            {"UpdateProPath", ""},
        };
        for (const DeviceType& type : kDeviceTypes) defaults.push_back({type.settingsKey, "1"});
        WriteProfileStrings(path, kMainSection, defaults);
        settings.created = true;
        settings.startIP = kFirstStartShownStart;
        settings.endIP = kFirstStartShownEnd;
        return settings;
    }
    settings.startIP = static_cast<uint32_t>(ReadProfileInt(path, kMainSection, "StartIP", 0));
    settings.endIP = static_cast<uint32_t>(ReadProfileInt(path, kMainSection, "EndIP", 0));
    const int32_t findType = ReadProfileInt(path, kMainSection, "CurFindType", 0);
    settings.findType = (findType == 0 || findType == 1) ? findType : 0;
    settings.updateFile = ReadProfileString(path, kMainSection, "UpdateProPath", "", kMaxUpdatePathChars);
    for (size_t i = 0; i < kDeviceTypes.size(); ++i) {
        settings.filters[i] = ReadProfileInt(path, kMainSection, kDeviceTypes[i].settingsKey, 1);
    }
    // A value the run cannot take means the design's run, one device after another.
    const int32_t parallel = ReadProfileInt(path, kMainSection, "UpgradeParallel", 1);
    settings.upgradeParallel = parallel >= 1 && parallel <= kMaxUpgradeParallel ? parallel : 1;
    settings.upgradeMaxFailures = std::max(ReadProfileInt(path, kMainSection, "UpgradeMaxFailures", 0), 0);
    return settings;
}

bool WriteFindType(const std::string& appDir, int findType) {
    return WriteProfileString(SettingsFilePath(appDir, "Quillane.ini"), kMainSection, "CurFindType",
                              Decimal(findType));
}

bool WriteRange(const std::string& appDir, uint32_t startIP, uint32_t endIP) {
    const ProfileEntry range[] = {{"StartIP", Decimal(static_cast<int32_t>(startIP))},
                                  {"EndIP", Decimal(static_cast<int32_t>(endIP))}};
    return WriteProfileStrings(SettingsFilePath(appDir, "Quillane.ini"), kMainSection, range);
}

bool WriteFilter(const std::string& appDir, int filterIndex, int value) {
    if (filterIndex < 0 || filterIndex >= kDeviceTypeCount) return false;
    return WriteProfileString(SettingsFilePath(appDir, "Quillane.ini"), kMainSection,
                              kDeviceTypes[static_cast<size_t>(filterIndex)].settingsKey, Decimal(value));
}

bool WriteUpdateFile(const std::string& appDir, const std::string& path) {
    return WriteProfileString(SettingsFilePath(appDir, "Quillane.ini"), kMainSection, "UpdateProPath", path);
}

}  // namespace quillane
