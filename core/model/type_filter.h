#pragma once

#include <atomic>

namespace quillane {

// The window's device-type filter: one flag per type check box; non-zero lists
// the devices of that type. The station carries these flags as its base, so
// the device-type catalogue can name each one without knowing the station.
struct TypeFilterFlags {
    std::atomic<int> m_bPlayDev{1}, m_bMorePlayDev{1}, m_bPowerDev{1}, m_bSoundBoxDev{1}, m_bAlarmDev{1},
        m_bTelCallDev{1}, m_bSoundCollectionDev{1}, m_bSmallPoxSoundBoxDev{1}, m_bPowerManageDev{1},
        m_bAmpMonitorDev{1}, m_bSenseInterfaceDev{1};
};

}  // namespace quillane
