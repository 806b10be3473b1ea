#include "link/protocol.h"

#include <gtest/gtest.h>

#include <set>

using namespace quillane;

namespace {

Datagram Bytes(std::initializer_list<int> values) {
    Datagram d;
    for (int v : values) d.push_back(static_cast<uint8_t>(v));
    return d;
}

void Put32(Datagram& d, size_t offset, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) d[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A reply of `length` bytes with the code at byte 4 and the device number at 8.
Datagram Reply(uint8_t code, size_t length, int32_t deviceNumber = 7) {
    Datagram d(length, 0);
    Put32(d, 0, static_cast<uint32_t>(length));
    d[4] = code;
    if (length >= 12) Put32(d, 8, static_cast<uint32_t>(deviceNumber));
    return d;
}

// The example device: 192.168.1.10, server 192.168.1.250, standby .251,
// new address .11, gateway .1, mask 255.255.255.0.
const AddressChangeValues kExample{0xC0A8010A, 0xC0A801FA, 0xC0A801FB, 0xC0A8010B, 0xC0A80101, 0xFFFFFF00};

}  // namespace

TEST(ProtocolBuilders, ProbesAndUpgradeCommandHaveTheirExactBytes) {
    EXPECT_EQ(BuildSearchProbe(), Bytes({12, 0, 0, 0, 0xF3, 0, 0, 0, 0, 0, 0, 0}));
    const Datagram first = Bytes({20, 0, 0, 0, 0xF1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0});
    Datagram second = first;
    second[4] = 0xF6;
    EXPECT_EQ(BuildRangeProbe(kCodeRangeProbe), first);
    EXPECT_EQ(BuildRangeProbe(kCodeRangeProbeSecond), second);

    Datagram upgrade(40, 0);
    upgrade[0] = 0x9B, upgrade[1] = 0x92, upgrade[2] = 0x9B, upgrade[3] = 0x96, upgrade[4] = 0xDF;
    EXPECT_EQ(BuildUpgradeCommand(), upgrade);
}

TEST(ProtocolBuilders, DirectAddressChangeCarriesNumberFormAndChecksum) {
    EXPECT_EQ(AddressChangeChecksum(kExample), 0xC348060Bu);
    const Datagram d = BuildDirectAddressChange(kExample);
    const Datagram expected =
        Bytes({40,   0,    0,    0,    0xF0, 0,    0,    0,    0,    0,    0,    0,    0x0A, 0x01,
               0xA8, 0xC0, 0xFA, 0x01, 0xA8, 0xC0, 0xFB, 0x01, 0xA8, 0xC0, 0x0B, 0x01, 0xA8, 0xC0,
               0x01, 0x01, 0xA8, 0xC0, 0x00, 0xFF, 0xFF, 0xFF, 0x0B, 0x06, 0x48, 0xC3});
    EXPECT_EQ(d, expected);
}

TEST(ProtocolBuilders, GroupFormAddsTheDeviceNumbersLow16Bits) {
    const Datagram direct = BuildDirectAddressChange(kExample);
    struct Case {
        int32_t number;
        uint8_t low, high;
    };
    for (const Case c :
         {Case{0x00012345, 0x45, 0x23}, Case{65535, 0xFF, 0xFF}, Case{-2, 0xFE, 0xFF}, Case{7, 7, 0}}) {
        SCOPED_TRACE(c.number);
        const Datagram d = BuildGroupAddressChange(c.number, kExample);
        ASSERT_EQ(d.size(), 48u);
        EXPECT_EQ(d[0], 48);
        EXPECT_EQ(d[4], 0xF4);
        // Same fields and checksum as the direct form; the number does not enter the checksum.
        EXPECT_TRUE(std::equal(direct.begin() + 5, direct.end(), d.begin() + 5));
        EXPECT_EQ(d[40], c.low);
        EXPECT_EQ(d[41], c.high);
        for (size_t i = 42; i < 48; ++i) EXPECT_EQ(d[i], 0) << i;
    }
}

TEST(ProtocolBuilders, ChecksumWrapsModulo32Bits) {
    const AddressChangeValues all{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    EXPECT_EQ(AddressChangeChecksum(all), 0xFFFFFFFAu);
}

TEST(ProtocolReader, RecognisesRepliesByCodeAndExactLength) {
    enum Kind { kNone, kSearch, kShort, kFull };
    struct Case {
        uint8_t code;
        size_t length;
        Kind kind;
    };
    const Case cases[] = {
        {0xF0, 20, kShort},
        {0xF0, 19, kNone},
        {0xF0, 21, kNone},
        {0xF0, 40, kNone},  // our own command
                            // echoed
        {0xF1, 52, kSearch},
        {0xF1, 56, kSearch},
        {0xF1, 53, kNone},
        {0xF1, 51, kNone},
        {0xF1, 57, kNone},
        {0xF1, 20, kNone},  // a range probe seen on the wire
        {0xF2, 52, kFull},
        {0xF2, 56, kNone},
        {0xF2, 20, kNone},
        {0xF3, 12, kNone},
        {0xF4, 48, kNone},
        {0xF6, 20, kNone},
        {0xDF, 40, kNone},
        {0x00, 52, kNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << int{c.code} << std::dec << "/" << c.length);
        const DeviceReply reply = ReadDeviceReply(Reply(c.code, c.length));
        EXPECT_EQ(static_cast<int>(reply.index()), static_cast<int>(c.kind));
    }
}

TEST(ProtocolReader, EveryTruncatedLengthIsNotAReply) {
    // Each prefix lives in a buffer of exactly its own size, so a read past the
    // end shows up under the address sanitizer.
    for (const Datagram& full : {Reply(0xF0, 20), Reply(0xF1, 52), Reply(0xF1, 56), Reply(0xF2, 52)}) {
        for (size_t length = 0; length < full.size(); ++length) {
            if (full[4] == 0xF1 && length == 52) continue;  // the short form of the typed reply
            const Datagram prefix(full.begin(), full.begin() + static_cast<ptrdiff_t>(length));
            EXPECT_TRUE(std::holds_alternative<std::monostate>(ReadDeviceReply(prefix)))
                << "code " << int{full[4]} << " cut to " << length;
        }
    }
}

TEST(ProtocolReader, DecodesBothSearchReplyForms) {
    Datagram d = Reply(0xF1, 56, -123456);
    const uint8_t ip[] = {0x0A, 0x01, 0xA8, 0xC0};       // number form: 192.168.1.10
    const uint8_t mask[] = {0x00, 0xFF, 0xFF, 0xFF};     // 255.255.255.0
    const uint8_t gateway[] = {0x01, 0x01, 0xA8, 0xC0};  // 192.168.1.1
    const uint8_t server[] = {0xC0, 0xA8, 0x01, 0xFA};   // octet form: 192.168.1.250
    const uint8_t standby[] = {0xC0, 0xA8, 0x01, 0xFB};  // 192.168.1.251
    const uint8_t version[] = {0x05, 0x0C, 0x06, 0x0F};
    std::copy(std::begin(ip), std::end(ip), d.begin() + 16);
    std::copy(std::begin(mask), std::end(mask), d.begin() + 20);
    std::copy(std::begin(gateway), std::end(gateway), d.begin() + 24);
    std::copy(std::begin(server), std::end(server), d.begin() + 28);
    std::copy(std::begin(standby), std::end(standby), d.begin() + 32);
    std::copy(std::begin(version), std::end(version), d.begin() + 44);
    Put32(d, 52, 6801);

    const auto typed = std::get<SearchReply>(ReadDeviceReply(d));
    EXPECT_EQ(typed.deviceNumber, -123456);
    EXPECT_EQ(FormatAddress(typed.ip), "192.168.1.10");
    EXPECT_EQ(FormatAddress(typed.mask), "255.255.255.0");
    EXPECT_EQ(FormatAddress(typed.gateway), "192.168.1.1");
    EXPECT_EQ(FormatAddress(typed.server), "192.168.1.250");
    EXPECT_EQ(FormatAddress(typed.standbyServer), "192.168.1.251");
    EXPECT_EQ(FormatVersion(typed.version), "2015.6.12.5");
    EXPECT_TRUE(typed.hasType);
    EXPECT_EQ(typed.typeCode, 6801);

    d.resize(52);
    const auto untyped = std::get<SearchReply>(ReadDeviceReply(d));
    EXPECT_FALSE(untyped.hasType);
    EXPECT_EQ(FormatAddress(untyped.ip), "192.168.1.10");
    EXPECT_EQ(untyped.deviceNumber, -123456);
}

TEST(ProtocolReader, DecodesChangeResults) {
    Datagram shortResult = Reply(0xF0, 20, 42);
    Put32(shortResult, 16, 1);
    const auto s = std::get<ShortChangeResult>(ReadDeviceReply(shortResult));
    EXPECT_EQ(s.deviceNumber, 42);
    EXPECT_TRUE(s.Succeeded());
    Put32(shortResult, 16, 2);
    EXPECT_FALSE(std::get<ShortChangeResult>(ReadDeviceReply(shortResult)).Succeeded());

    Datagram full = Reply(0xF2, 52, 42);
    Put32(full, 12, 43);
    Put32(full, 16, 1);
    Put32(full, 20, 0x0A000005);  // 10.0.0.5, number form
    Put32(full, 24, 0xFFFF0000);
    Put32(full, 28, 0x0A000001);
    const uint8_t server[] = {10, 0, 0, 2, 10, 0, 0, 3};  // octet form, server then standby
    std::copy(std::begin(server), std::end(server), full.begin() + 32);
    const auto f = std::get<FullChangeResult>(ReadDeviceReply(full));
    EXPECT_EQ(f.deviceNumber, 42);
    EXPECT_EQ(f.newDeviceNumber, 43);
    EXPECT_TRUE(f.Succeeded());
    EXPECT_EQ(FormatAddress(f.ip), "10.0.0.5");
    EXPECT_EQ(FormatAddress(f.mask), "255.255.0.0");
    EXPECT_EQ(FormatAddress(f.gateway), "10.0.0.1");
    EXPECT_EQ(FormatAddress(f.server), "10.0.0.2");
    EXPECT_EQ(FormatAddress(f.standbyServer), "10.0.0.3");
}

TEST(ProtocolFormat, VersionAndAddressTexts) {
    EXPECT_EQ(FormatVersion({0x05, 0x0C, 0x06, 0x0F}), "2015.6.12.5");
    EXPECT_EQ(FormatVersion({0, 0, 0, 0}), "2000.0.0.0");
    EXPECT_EQ(FormatVersion({255, 255, 255, 255}), "2255.255.255.255");
    EXPECT_EQ(FormatAddress(0), "0.0.0.0");
    EXPECT_EQ(FormatAddress(0xFFFFFFFF), "255.255.255.255");
}
