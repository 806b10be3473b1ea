#include "devicelink/device_types.h"

#include <array>

#include "mainwindow/station.h"

namespace quillane {
namespace {

// Filter indices follow the window's flag order: PlayDev, MorePlayDev,
// PowerDev, SoundBoxDev, AlarmDev, TelCallDev, SoundCollectionDev,
// SmallPoxSoundBoxDev, bPowerManageDev, bAmpMonitorDev, bSenseInterfaceDev.
constexpr std::array<DeviceTypeInfo, 11> kTypes{{
    {51, 4, "AlarmDev"},
    {6111, 8, "bPowerManageDev"},
    {6113, 9, "bAmpMonitorDev"},
    {6310, 7, "SmallPoxSoundBoxDev"},
    {6401, 0, "PlayDev"},
    {6411, 6, "SoundCollectionDev"},
    {6418, 5, "TelCallDev"},
    {6463, 3, "SoundBoxDev"},
    {6801, 1, "MorePlayDev"},
    {6825, 2, "PowerDev"},
    {7118, 10, "bSenseInterfaceDev"},
}};

}  // namespace

std::span<const DeviceTypeInfo> DeviceTypes() { return kTypes; }

std::optional<DeviceTypeInfo> FindDeviceType(int32_t code) {
    for (const DeviceTypeInfo& type : kTypes) {
        if (type.code == code) return type;
    }
    return std::nullopt;
}

bool FilterAdmits(const Station& s, const DeviceTypeInfo& type) {
    const std::atomic<int>* const flags[] = {
        &s.m_bPlayDev,      &s.m_bMorePlayDev,        &s.m_bPowerDev,           &s.m_bSoundBoxDev,
        &s.m_bAlarmDev,     &s.m_bTelCallDev,         &s.m_bSoundCollectionDev, &s.m_bSmallPoxSoundBoxDev,
        &s.m_bPowerManageDev, &s.m_bAmpMonitorDev,    &s.m_bSenseInterfaceDev};
    if (type.filterIndex < 0 || type.filterIndex >= static_cast<int>(std::size(flags))) return false;
    return flags[type.filterIndex]->load() != 0;
}

}  // namespace quillane
