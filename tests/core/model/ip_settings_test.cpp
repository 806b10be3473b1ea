#include "model/ip_settings.h"

#include <gtest/gtest.h>

#include "support/helper_program.h"
#include "testing/temp_folder.h"

namespace quillane {
namespace {

constexpr uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return a << 24 | b << 16 | c << 8 | d;
}

IpSettingsValues FileValues() {
    IpSettingsValues v;
    v.ip = Ip(10, 1, 1, 1);
    v.mask = Ip(255, 0, 0, 0);
    v.gateway = Ip(10, 1, 1, 254);
    v.server = Ip(10, 1, 1, 2);
    v.backupServer = Ip(10, 1, 1, 3);
    v.maskCheck = 0;
    v.editType = 2;
    return v;
}

TEST(IpSettingsInitial, DeviceValuesReplaceAllFiveAddressesWhenAnyIsNonZero) {
    const IpDeviceValues device{Ip(192, 168, 40, 20), Ip(255, 255, 255, 0), Ip(192, 168, 40, 1),
                                Ip(192, 168, 40, 250), Ip(192, 168, 40, 251)};
    IpSettingsValues shown = InitialIpSettings(FileValues(), device);
    EXPECT_EQ(shown.ip, device.ip);
    EXPECT_EQ(shown.mask, device.mask);
    EXPECT_EQ(shown.gateway, device.gateway);
    EXPECT_EQ(shown.server, device.server);
    EXPECT_EQ(shown.backupServer, device.backupServer);
    EXPECT_EQ(shown.maskCheck, 0);  // the boxes and the edit type stay the file's
    EXPECT_EQ(shown.editType, 2);

    shown = InitialIpSettings(FileValues(), IpDeviceValues{});
    EXPECT_EQ(shown.ip, Ip(10, 1, 1, 1));
    EXPECT_EQ(shown.backupServer, Ip(10, 1, 1, 3));

    IpDeviceValues gatewayOnly;
    gatewayOnly.gateway = Ip(192, 168, 40, 1);
    shown = InitialIpSettings(FileValues(), gatewayOnly);
    EXPECT_EQ(shown.gateway, Ip(192, 168, 40, 1));
    EXPECT_EQ(shown.ip | shown.mask | shown.server | shown.backupServer, 0u);
}

TEST(IpSettingsInitial, EditTypeOutOfRangeBecomesZero) {
    for (const auto& [stored, expected] : {std::pair{7, 0}, {-1, 0}, {4, 0}, {3, 3}, {0, 0}}) {
        IpSettingsValues v;
        v.editType = stored;
        EXPECT_EQ(InitialIpSettings(v, {}).editType, expected) << stored;
    }
}

TEST(IpSettingsOk, FirstTickedFieldWithABadFirstOctetIsRejected) {
    struct Case {
        const char* name;
        uint32_t ip;
        int ipCheck;
        uint32_t mask, gateway;
        int gatewayCheck;
        uint32_t server, backup;
        int expected;
    };
    const uint32_t good = Ip(192, 168, 1, 1);
    const Case cases[] = {
        {"all good", good, 1, Ip(255, 255, 255, 0), good, 1, good, good, -1},
        {"ip 0 (blank)", 0, 1, 0, good, 1, good, good, 0},
        {"ip first octet 1", Ip(1, 0, 0, 0), 1, 0, good, 1, good, good, -1},
        {"ip 223", Ip(223, 1, 1, 1), 1, 0, good, 1, good, good, -1},
        {"ip 224", Ip(224, 0, 0, 1), 1, 0, good, 1, good, good, 0},
        {"ip 224 not ticked", Ip(224, 0, 0, 1), 0, 0, good, 1, good, good, -1},
        {"mask blank is never checked", good, 1, 0, good, 1, good, good, -1},
        {"ip and gateway 0: ip first", 0, 1, 0, 0, 1, good, good, 0},
        {"gateway 0", good, 1, 0, 0, 1, good, good, 1},
        {"gateway 0 not ticked", good, 1, 0, 0, 0, good, good, -1},
        {"server 255", good, 1, 0, good, 1, Ip(255, 255, 255, 255), good, 2},
        {"standby server 0", good, 1, 0, good, 1, good, 0, 3},
    };
    for (const Case& c : cases) {
        IpSettingsValues v;
        v.ip = c.ip;
        v.ipCheck = c.ipCheck;
        v.mask = c.mask;
        v.gateway = c.gateway;
        v.gatewayCheck = c.gatewayCheck;
        v.server = c.server;
        v.backupServer = c.backup;
        EXPECT_EQ(FirstRejectedField(v), c.expected) << c.name;
    }
}

TEST(IpSettingsOk, SavesOnlyWhenEveryCheckPasses) {
    test::TempFolder dir;
    IpSettingsValues entered = FileValues();
    entered.ip = Ip(224, 0, 0, 1);
    EXPECT_EQ(ConfirmIpSettings(dir.Dir(), entered), 0);
    EXPECT_EQ(ReadIpSettings(dir.Dir()).ip, 0u);  // nothing written

    entered.ipCheck = 0;
    entered.mask = 0;
    EXPECT_EQ(ConfirmIpSettings(dir.Dir(), entered), -1);
    const IpSettingsValues saved = ReadIpSettings(dir.Dir());
    EXPECT_EQ(saved.ip, Ip(224, 0, 0, 1));
    EXPECT_EQ(saved.ipCheck, 0);
    EXPECT_EQ(saved.mask, 0u);
    EXPECT_EQ(saved.gateway, Ip(10, 1, 1, 254));
    EXPECT_EQ(saved.editType, 2);
}

TEST(IpSettingsKeyboard, OpensTenPixelsBelowTheButtonTop) {
    EXPECT_EQ(IpDialogKeyboardCommand(500, 300), std::string(kKeyboardProgram) + " 500 310");
}

}  // namespace
}  // namespace quillane
