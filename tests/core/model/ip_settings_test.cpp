#include "model/ip_settings.h"

#include <gtest/gtest.h>

#include "model/texts.h"
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
        int expected;  // the first-octet message's index; -1 accepted
    };
    const uint32_t good = Ip(192, 168, 1, 1);
    const Case cases[] = {
        {"all good", good, 1, Ip(255, 255, 255, 0), good, 1, good, good, -1},
        {"ip 0 (blank)", 0, 1, 0, good, 1, good, good, 0},
        {"ip first octet 1", Ip(1, 0, 0, 1), 1, 0, good, 1, good, good, -1},
        {"ip 223", Ip(223, 1, 1, 1), 1, 0, good, 1, good, good, -1},
        {"ip 224", Ip(224, 0, 0, 1), 1, 0, good, 1, good, good, 0},
        {"ip 224 not ticked", Ip(224, 0, 0, 1), 0, 0, good, 1, good, good, -1},
        {"mask blank is accepted", good, 1, 0, good, 1, good, good, -1},
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
        const std::optional<UnusableSetting> rejected = RejectedEntry(v, {});
        if (c.expected < 0) {
            EXPECT_FALSE(rejected) << c.name;
            continue;
        }
        ASSERT_TRUE(rejected) << c.name;
        EXPECT_EQ(rejected->fault, SettingFault::kFirstOctet) << c.name;
        EXPECT_EQ(UnusableSettingMessage(*rejected, 2),
                  Texts(2).msgFirstOctet[static_cast<size_t>(c.expected)])
            << c.name;
    }
}

// Beyond the first octets: the mask, loopback, and the first device's address
// against its subnet, under the entered mask or the shown device's own.
TEST(IpSettingsOk, AddressesThatWouldLoseTheFirstDeviceAreRejected) {
    struct Case {
        const char* name;
        uint32_t ip, mask;
        int maskCheck, editType;
        uint32_t deviceMask;  // 0: no device shown
        std::optional<SettingFault> expected;
    };
    const uint32_t m16 = Ip(255, 255, 0, 0), m25 = Ip(255, 255, 255, 128);
    const Case cases[] = {
        {"split mask", Ip(10, 1, 1, 1), Ip(255, 0, 255, 0), 1, 0, 0, SettingFault::kSplitMask},
        {"split mask not ticked", Ip(10, 1, 1, 1), Ip(255, 0, 255, 0), 0, 0, 0, std::nullopt},
        {"loopback", Ip(127, 0, 0, 1), m16, 1, 0, 0, SettingFault::kLoopback},
        {"loopback, any edit type", Ip(127, 5, 0, 0), m16, 1, 3, 0, SettingFault::kLoopback},
        {"network address", Ip(10, 201, 0, 0), m16, 1, 0, 0, SettingFault::kNetworkAddress},
        {"broadcast of a /25", Ip(192, 168, 1, 127), m25, 1, 0, 0, SettingFault::kBroadcastAddress},
        {"network address, device's own mask", Ip(10, 201, 0, 0), 0, 0, 0, m16,
         SettingFault::kNetworkAddress},
        {"kept mask, no device shown", Ip(10, 201, 0, 0), 0, 0, 0, 0, std::nullopt},
        {"keep last octet: 10.0.0.0 is a prefix", Ip(10, 0, 0, 0), m16, 1, 1, 0, std::nullopt},
        {"end of block moves on to the next .1", Ip(10, 201, 255, 255), m16, 1, 0, 0, std::nullopt},
        {"a /31 has no broadcast", Ip(10, 1, 1, 1), Ip(255, 255, 255, 254), 1, 0, 0, std::nullopt},
    };
    for (const Case& c : cases) {
        IpSettingsValues v;
        v.ip = c.ip;
        v.mask = c.mask;
        v.maskCheck = c.maskCheck;
        v.editType = c.editType;
        v.gateway = v.server = v.backupServer = Ip(10, 1, 1, 254);
        IpDeviceValues device;
        if (c.deviceMask != 0) device = {Ip(10, 201, 3, 4), c.deviceMask, 0, 0, 0};
        const std::optional<UnusableSetting> rejected = RejectedEntry(v, device);
        EXPECT_EQ(rejected ? std::optional(rejected->fault) : std::nullopt, c.expected) << c.name;
    }
}

TEST(IpSettingsOk, SavesOnlyWhenEveryCheckPasses) {
    test::TempFolder dir;
    IpSettingsValues entered = FileValues();
    entered.ip = Ip(224, 0, 0, 1);
    EXPECT_EQ(ConfirmIpSettings(dir.Dir(), entered, {}),
              (UnusableSetting{SettingField::kIp, SettingFault::kFirstOctet}));
    EXPECT_EQ(ReadIpSettings(dir.Dir()).ip, 0u);  // nothing written

    entered.ipCheck = 0;
    entered.mask = 0;
    EXPECT_EQ(ConfirmIpSettings(dir.Dir(), entered, {}), std::nullopt);
    const IpSettingsValues saved = ReadIpSettings(dir.Dir());
    EXPECT_EQ(saved.ip, Ip(224, 0, 0, 1));
    EXPECT_EQ(saved.ipCheck, 0);
    EXPECT_EQ(saved.mask, 0u);
    EXPECT_EQ(saved.gateway, Ip(10, 1, 1, 254));
    EXPECT_EQ(saved.editType, 2);
}

// Both windows' OK: a refused entry comes back as the message box in the
// window's language, and the dialog's rows give back the eleven entries.
TEST(IpSettingsOk, RefusalIsTheMessageBoxAndRowsCarryTheElevenEntries) {
    test::TempFolder dir;
    IpSettingsValues entered = FileValues();
    entered.ip = Ip(224, 0, 0, 1);
    const std::optional<MessageBoxText> refused = ConfirmOrRefuseIpSettings(dir.Dir(), entered, {}, 2);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->text, UnusableSettingMessage({SettingField::kIp, SettingFault::kFirstOctet}, 2));
    EXPECT_EQ(refused->caption, Texts(2).captionError);
    entered.ip = Ip(10, 0, 0, 1);
    EXPECT_EQ(ConfirmOrRefuseIpSettings(dir.Dir(), entered, {}, 1), std::nullopt);

    entered.gatewayCheck = 0;
    entered.backupServer = Ip(10, 9, 9, 9);
    const IpSettingsRows rows = RowsOfIpSettings(entered);
    EXPECT_FALSE(rows[1].ticked);  // the mask
    EXPECT_FALSE(rows[2].ticked);
    EXPECT_TRUE(rows[3].ticked);
    EXPECT_EQ(rows[4].address, Ip(10, 9, 9, 9));
    EXPECT_EQ(IpSettingsOfRows(rows, entered.editType), entered);
}

TEST(IpSettingsKeyboard, OpensTenPixelsBelowTheButtonTop) {
    EXPECT_EQ(IpDialogKeyboardCommand(500, 300), std::string(kKeyboardProgram) + " 500 310");
}

}  // namespace
}  // namespace quillane
