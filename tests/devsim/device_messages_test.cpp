#include "device_messages.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using devsim::Command;
using devsim::CommandKind;

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    return {values.begin(), values.end()};
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& message, size_t offset, size_t length) {
    return {message.begin() + static_cast<long>(offset),
            message.begin() + static_cast<long>(offset + length)};
}

devsim::DeviceState SampleDevice() {
    devsim::DeviceState device;
    device.number = 70001;
    device.typeCode = 6401;
    device.version = {5, 12, 6, 15};  // shows as 2015.6.12.5
    device.ip = 0xC0A8010A;           // 192.168.1.10
    device.mask = 0xFFFFFF00;
    device.gateway = 0xC0A80101;
    device.server = 0xC0A801FA;  // 192.168.1.250
    device.standby = 0xC0A801FB;
    return device;
}

TEST(SearchReply, FieldsSitWhereTheToolReadsThem) {
    const auto reply = devsim::BuildSearchReply(SampleDevice());
    ASSERT_EQ(reply.size(), 56u);
    EXPECT_EQ(Slice(reply, 0, 8), Bytes({56, 0, 0, 0, 0xF1, 0, 0, 0}));
    EXPECT_EQ(Slice(reply, 8, 4), Bytes({0x71, 0x11, 0x01, 0x00}));   // 70001
    EXPECT_EQ(Slice(reply, 16, 4), Bytes({0x0A, 0x01, 0xA8, 0xC0}));  // number form
    EXPECT_EQ(Slice(reply, 20, 4), Bytes({0x00, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Slice(reply, 24, 4), Bytes({0x01, 0x01, 0xA8, 0xC0}));
    EXPECT_EQ(Slice(reply, 28, 4), Bytes({192, 168, 1, 250}));  // octet form
    EXPECT_EQ(Slice(reply, 32, 4), Bytes({192, 168, 1, 251}));
    EXPECT_EQ(Slice(reply, 44, 4), Bytes({5, 12, 6, 15}));
    EXPECT_EQ(Slice(reply, 52, 4), Bytes({0x01, 0x19, 0, 0}));  // 6401
}

TEST(SearchReply, DeviceWithoutTypeSendsTheShortForm) {
    auto device = SampleDevice();
    device.typeCode.reset();
    device.number = -2;
    const auto reply = devsim::BuildSearchReply(device);
    ASSERT_EQ(reply.size(), 52u);
    EXPECT_EQ(reply[0], 52);
    EXPECT_EQ(Slice(reply, 8, 4), Bytes({0xFE, 0xFF, 0xFF, 0xFF}));
}

TEST(ChangeResult, ShortAndFullForms) {
    const auto shortFailure = devsim::BuildShortChangeResult(70001, false);
    ASSERT_EQ(shortFailure.size(), 20u);
    EXPECT_EQ(shortFailure[4], 0xF0);
    EXPECT_EQ(Slice(shortFailure, 16, 4), Bytes({0, 0, 0, 0}));
    EXPECT_EQ(Slice(devsim::BuildShortChangeResult(1, true), 16, 4), Bytes({1, 0, 0, 0}));

    const auto full = devsim::BuildFullChangeResult(SampleDevice(), true);
    ASSERT_EQ(full.size(), 52u);
    EXPECT_EQ(full[4], 0xF2);
    EXPECT_EQ(Slice(full, 8, 4), Slice(full, 12, 4));
    EXPECT_EQ(Slice(full, 16, 4), Bytes({1, 0, 0, 0}));
    EXPECT_EQ(Slice(full, 20, 4), Bytes({0x0A, 0x01, 0xA8, 0xC0}));
    EXPECT_EQ(Slice(full, 32, 4), Bytes({192, 168, 1, 250}));
    EXPECT_EQ(Slice(full, 36, 4), Bytes({192, 168, 1, 251}));
}

std::vector<uint8_t> ChangeCommand(uint8_t code, size_t length) {
    std::vector<uint8_t> message(length, 0);
    message[0] = static_cast<uint8_t>(length);
    message[4] = code;
    const uint32_t fields[6] = {0xC0A8010A, 0xC0A801FA, 0xC0A801FB, 0xC0A8010B, 0xC0A80101, 0xFFFFFF00};
    for (int f = 0; f < 6; ++f)
        for (int i = 0; i < 4; ++i) message[12 + 4 * f + i] = static_cast<uint8_t>(fields[f] >> (8 * i));
    const uint32_t checksum = 0xC348060B;
    for (int i = 0; i < 4; ++i) message[36 + i] = static_cast<uint8_t>(checksum >> (8 * i));
    return message;
}

TEST(Command, AddressChangeFormsAndChecksum) {
    auto direct = ChangeCommand(0xF0, 40);
    Command c = devsim::ParseCommand(direct.data(), direct.size());
    EXPECT_EQ(c.kind, CommandKind::ChangeDirect);
    EXPECT_TRUE(c.checksumOk);
    EXPECT_EQ(c.presentIp, 0xC0A8010Au);
    EXPECT_EQ(c.server, 0xC0A801FAu);
    EXPECT_EQ(c.newIp, 0xC0A8010Bu);
    EXPECT_EQ(c.gateway, 0xC0A80101u);
    EXPECT_EQ(c.mask, 0xFFFFFF00u);

    direct[36] ^= 1;
    EXPECT_FALSE(devsim::ParseCommand(direct.data(), direct.size()).checksumOk);

    auto group = ChangeCommand(0xF4, 48);
    group[40] = 0x71;  // low 16 bits of 70001
    group[41] = 0x11;
    group[8] = 0x55;  // the device-number slot does not enter the checksum
    c = devsim::ParseCommand(group.data(), group.size());
    EXPECT_EQ(c.kind, CommandKind::ChangeGroup);
    EXPECT_TRUE(c.checksumOk);
    EXPECT_EQ(c.numberLow, 0x1171);
}

TEST(Command, EachCodeOnlyAtItsLength) {
    struct Case {
        uint8_t code;
        size_t length;
        CommandKind kind;
    };
    const Case cases[] = {
        {0xF3, 12, CommandKind::SearchProbe},
        {0xF3, 11, CommandKind::Unknown},
        {0xF3, 13, CommandKind::Unknown},
        {0xF1, 20, CommandKind::RangeProbe},
        {0xF6, 20, CommandKind::RangeProbe},
        {0xF1, 52, CommandKind::Unknown},  // another device's search reply
        {0xF0, 40, CommandKind::ChangeDirect},
        {0xF0, 20, CommandKind::Unknown},  // a short result
        {0xF4, 48, CommandKind::ChangeGroup},
        {0xF4, 40, CommandKind::Unknown},
        {0xDF, 40, CommandKind::Upgrade},
        {0xDF, 39, CommandKind::Unknown},
        {0x00, 40, CommandKind::Unknown},
        {0xF3, 4, CommandKind::Unknown},
    };
    for (const Case& t : cases) {
        std::vector<uint8_t> message(t.length + 1, 0);  // room for byte 4 in the too-short case
        if (t.code == 0xDF) {
            message[0] = 0x9B;
            message[1] = 0x92;
            message[2] = 0x9B;
            message[3] = 0x96;
        }
        message[4] = t.code;
        const Command c = devsim::ParseCommand(message.data(), t.length);
        EXPECT_EQ(c.kind, t.kind) << "code " << int(t.code) << " length " << t.length;
        if (t.kind == CommandKind::Unknown) {
            EXPECT_NE(c.problem, nullptr);
        }
    }
}

TEST(Command, UpgradeNeedsItsMarker) {
    std::vector<uint8_t> message(40, 0);
    message[4] = 0xDF;
    message[0] = 40;
    EXPECT_EQ(devsim::ParseCommand(message.data(), message.size()).kind, CommandKind::Unknown);
}

}  // namespace
