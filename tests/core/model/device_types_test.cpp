#include "model/device_types.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "station/station.h"
#include "testing/recording_view.h"

namespace quillane {
namespace {

// The window's type filter as the operator knows it: box, flag, settings key, code.
struct KnownType {
    int32_t code;
    int boxId;
    std::atomic<int> Station::*flag;
    const char* settingsKey;
};
const KnownType kKnownTypes[] = {
    {6401, 1028, &Station::m_bPlayDev, "PlayDev"},
    {6801, 1030, &Station::m_bMorePlayDev, "MorePlayDev"},
    {6825, 1031, &Station::m_bPowerDev, "PowerDev"},
    {6463, 1032, &Station::m_bSoundBoxDev, "SoundBoxDev"},
    {51, 1033, &Station::m_bAlarmDev, "AlarmDev"},
    {6418, 1034, &Station::m_bTelCallDev, "TelCallDev"},
    {6411, 1035, &Station::m_bSoundCollectionDev, "SoundCollectionDev"},
    {6310, 1046, &Station::m_bSmallPoxSoundBoxDev, "SmallPoxSoundBoxDev"},
    {6111, 1049, &Station::m_bPowerManageDev, "bPowerManageDev"},
    {6113, 1048, &Station::m_bAmpMonitorDev, "bAmpMonitorDev"},
    {7118, 1050, &Station::m_bSenseInterfaceDev, "bSenseInterfaceDev"},
};

TEST(DeviceTypes, EachTypeHasItsBoxFlagAndKeyInTheWindowsFlagOrder) {
    ASSERT_EQ(kDeviceTypes.size(), std::size(kKnownTypes));
    test::RecordingView view;
    Station station(view, "/nonexistent/");
    for (size_t i = 0; i < kDeviceTypes.size(); ++i) {
        const KnownType& known = kKnownTypes[i];
        SCOPED_TRACE(known.code);
        const DeviceType* type = FindDeviceType(known.code);
        ASSERT_EQ(type, &kDeviceTypes[i]);
        EXPECT_EQ(FindTypeBox(known.boxId), type);
        EXPECT_EQ(type->boxId, known.boxId);
        EXPECT_STREQ(type->settingsKey, known.settingsKey);
        EXPECT_EQ(&(station.*type->flag), &(station.*known.flag));
    }
    for (int notAType : {0, 50, 52, 6400, 6402, 7117, -6401})
        EXPECT_FALSE(FindDeviceType(notAType)) << notAType;
    EXPECT_FALSE(FindTypeBox(kIdFind));
}

TEST(DeviceTypes, EachCodeIsAdmittedByItsOwnStationFlag) {
    test::RecordingView view;
    Station station(view, "/nonexistent/");
    for (const KnownType& c : kKnownTypes) {
        SCOPED_TRACE(c.code);
        const DeviceType& type = *FindDeviceType(c.code);
        EXPECT_TRUE(FilterAdmits(station, type));
        (station.*c.flag).store(0);
        EXPECT_FALSE(FilterAdmits(station, type));
        for (const KnownType& other : kKnownTypes) {
            if (other.code == c.code) continue;
            EXPECT_TRUE(FilterAdmits(station, *FindDeviceType(other.code))) << other.code;
        }
        (station.*c.flag).store(1);
    }
}

TEST(DeviceTypes, RunsLockTheFirstRowOfBoxesAndTheHiddenOne) {
    EXPECT_EQ(std::set<int>(kRunLockedTypeBoxes.begin(), kRunLockedTypeBoxes.end()),
              (std::set<int>{1028, 1030, 1031, 1032, 1033, 1034, 1035, 1046}));
    EXPECT_EQ(kRunLockedTypeBoxes.size(), 8u);
}

}  // namespace
}  // namespace quillane
