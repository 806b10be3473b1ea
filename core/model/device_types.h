#pragma once

// Every device type the tool knows, one row each: the code devices report,
// the check box that lists them with its filter flag and settings key, the
// box's caption and the type column's name. Everything that deals with device
// types reads this table; a new type is one row here, plus its filter flag
// and its box's place in the window.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "model/control_ids.h"
#include "model/type_filter.h"

namespace quillane {

struct BilingualText {
    const char* chinese;
    const char* english;
};

struct DeviceType {
    int32_t code;                             // type code of the typed search reply
    int boxId;                                // the check box that admits the type
    std::atomic<int> TypeFilterFlags::*flag;  // the window's flag behind that box
    const char* settingsKey;                  // the flag's key in "Quillane.ini"
    BilingualText caption;                    // the box's caption
    BilingualText name;                       // the type column's text; null: shown as an unknown device
    bool lockedDuringRuns;                    // disabled while an address change or upgrade runs
};

inline constexpr bool kLockedDuringRuns = true;
inline constexpr bool kFreeDuringRuns = false;

// In the window's flag order, which is also the order of the settings keys:
// box 1049 comes before box 1048 there. The ceiling speaker (6310) has a
// hidden box and is listed as an unknown device.
// clang-format off
inline constexpr std::array<DeviceType, 11> kDeviceTypes{{
    {6401, kIdPlayDev,             &TypeFilterFlags::m_bPlayDev,             "PlayDev",             {"播放终端", "Play terminal"},                       {"播放终端", "Play terminal"},                kLockedDuringRuns},
    {6801, kIdMorePlayDev,         &TypeFilterFlags::m_bMorePlayDev,         "MorePlayDev",         {"机架式终端", "Frame terminal"},                    {"机架式终端", "Frame terminal"},             kLockedDuringRuns},
    {6825, kIdPowerDev,            &TypeFilterFlags::m_bPowerDev,            "PowerDev",            {"网络化功放", "Network amplifier"},                 {"网络化功放", "Network amplifier"},          kLockedDuringRuns},
    {6463, kIdSoundBoxDev,         &TypeFilterFlags::m_bSoundBoxDev,         "SoundBoxDev",         {"网络化音箱", "Network box"},                       {"网络化音箱", "Network box"},                kLockedDuringRuns},
    {51,   kIdAlarmDev,            &TypeFilterFlags::m_bAlarmDev,            "AlarmDev",            {"消防联动", "Fire linkage"},                        {"消防联动", "Fire linkage"},                 kLockedDuringRuns},
    {6418, kIdTelCallDev,          &TypeFilterFlags::m_bTelCallDev,          "TelCallDev",          {"电话寻呼卡", "Calling card"},                      {"电话寻呼卡", "Calling card"},               kLockedDuringRuns},
    {6411, kIdSoundCollectionDev,  &TypeFilterFlags::m_bSoundCollectionDev,  "SoundCollectionDev",  {"音频采集卡", "Collection card"},                   {"音频采集卡", "Collection card"},            kLockedDuringRuns},
    {6310, kIdSmallPoxSoundBoxDev, &TypeFilterFlags::m_bSmallPoxSoundBoxDev, "SmallPoxSoundBoxDev", {"天花音箱", "Sky box"},                             {nullptr, nullptr},                           kLockedDuringRuns},
    {6111, kIdPowerManageDev,      &TypeFilterFlags::m_bPowerManageDev,      "bPowerManageDev",     {"电源管理控制卡", "Power management control card"}, {"电源管理控制卡", "Power Control Card"},     kFreeDuringRuns},
    {6113, kIdAmpMonitorDev,       &TypeFilterFlags::m_bAmpMonitorDev,       "bAmpMonitorDev",      {"功放监听卡", "Power amplifier monitor card"},      {"功放监听卡", "Mornitor Amplifier Card"},    kFreeDuringRuns},
    {7118, kIdSenseInterfaceDev,   &TypeFilterFlags::m_bSenseInterfaceDev,   "bSenseInterfaceDev",  {"噪感接口模块", "Noise interface module"},          {"噪感接口模块", "Noise interface module"},   kFreeDuringRuns},
}};
// clang-format on

inline constexpr int kDeviceTypeCount = static_cast<int>(kDeviceTypes.size());

// Null for a code that is not a device type.
constexpr const DeviceType* FindDeviceType(int32_t code) {
    for (const DeviceType& type : kDeviceTypes) {
        if (type.code == code) return &type;
    }
    return nullptr;
}

// Null for an id that is not a type check box.
constexpr const DeviceType* FindTypeBox(int boxId) {
    for (const DeviceType& type : kDeviceTypes) {
        if (type.boxId == boxId) return &type;
    }
    return nullptr;
}

// True when the filter lists devices of the type (its flag is non-zero).
inline bool FilterAdmits(const TypeFilterFlags& filter, const DeviceType& type) {
    return (filter.*type.flag).load() != 0;
}

// The type boxes that address-change and upgrade runs disable and give back, in table order.
inline constexpr auto kRunLockedTypeBoxes = [] {
    constexpr size_t count = [] {
        size_t n = 0;
        for (const DeviceType& type : kDeviceTypes) n += type.lockedDuringRuns ? 1 : 0;
        return n;
    }();
    std::array<int, count> boxes{};
    size_t next = 0;
    for (const DeviceType& type : kDeviceTypes) {
        if (type.lockedDuringRuns) boxes[next++] = type.boxId;
    }
    return boxes;
}();

}  // namespace quillane
