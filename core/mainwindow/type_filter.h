#pragma once

#include <array>
#include <atomic>

#include "mainwindow/control_ids.h"
#include "mainwindow/settings.h"
#include "mainwindow/station.h"

namespace quillane {

// The device-type check boxes with their filter flags, in the flag order of the
// settings keys (kFilterKeys): box 1049 comes before box 1048 there.
struct TypeFilterBox {
    int boxId;
    std::atomic<int> Station::*flag;
};

inline const std::array<TypeFilterBox, kFilterCount> kTypeFilterBoxes = {{
    {kIdPlayDev, &Station::m_bPlayDev},
    {kIdMorePlayDev, &Station::m_bMorePlayDev},
    {kIdPowerDev, &Station::m_bPowerDev},
    {kIdSoundBoxDev, &Station::m_bSoundBoxDev},
    {kIdAlarmDev, &Station::m_bAlarmDev},
    {kIdTelCallDev, &Station::m_bTelCallDev},
    {kIdSoundCollectionDev, &Station::m_bSoundCollectionDev},
    {kIdSmallPoxSoundBoxDev, &Station::m_bSmallPoxSoundBoxDev},
    {kIdPowerManageDev, &Station::m_bPowerManageDev},
    {kIdAmpMonitorDev, &Station::m_bAmpMonitorDev},
    {kIdSenseInterfaceDev, &Station::m_bSenseInterfaceDev},
}};

}  // namespace quillane
