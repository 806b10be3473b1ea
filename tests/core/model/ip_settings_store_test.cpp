#include "model/ip_settings_store.h"

#include <gtest/gtest.h>

#include "testing/line_ends.h"
#include "testing/temp_folder.h"

namespace quillane {
namespace {

TEST(IpSettingsStore, RoundTripWithDefaults) {
    const test::TempFolder dir;
    const IpSettingsValues defaults = ReadIpSettings(dir.Dir());
    EXPECT_EQ(defaults.ip, 0u);
    EXPECT_EQ(defaults.backupServer, 0u);
    EXPECT_EQ(defaults.ipCheck + defaults.maskCheck + defaults.gatewayCheck + defaults.serverCheck +
                  defaults.backupServerCheck,
              5);
    EXPECT_EQ(defaults.editType, 0);

    IpSettingsValues v;
    v.ip = 0xC0A82814;  // 192.168.40.20
    v.mask = 0xFFFFFF00;
    v.gateway = 0xC0A82801;
    v.server = 0x0A0000FA;
    v.backupServer = 0xDF0101FB;
    v.maskCheck = 0;
    v.editType = 3;
    ASSERT_TRUE(WriteIpSettings(dir.Dir(), v));
    EXPECT_EQ(
        test::ReadBytes(dir.File("Ostrel.ini")),
        test::NewFileText(
            "[Ostrel]\nIPCheck=1\nMaskCheck=0\nGateWayCheck=1\nServerIPCheck=1\nBackServerIPCheck=1\n"
            "IP=-1062721516\nMask=-256\nGateWay=-1062721535\nServerIP=167772410\nBackServerIP=-553582085\n"
            "EditType=3\n"));
    const IpSettingsValues read = ReadIpSettings(dir.File(""));
    EXPECT_EQ(read.ip, v.ip);
    EXPECT_EQ(read.mask, v.mask);
    EXPECT_EQ(read.gateway, v.gateway);
    EXPECT_EQ(read.server, v.server);
    EXPECT_EQ(read.backupServer, v.backupServer);
    EXPECT_EQ(read.maskCheck, 0);
    EXPECT_EQ(read.ipCheck, 1);
    EXPECT_EQ(read.editType, 3);
}

}  // namespace
}  // namespace quillane
