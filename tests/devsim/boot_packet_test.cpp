#include "boot_packet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const std::array<uint8_t, 6> kMac = {0x02, 0x51, 10, 77, 1, 2};

std::vector<uint8_t> ReplyTo(std::vector<uint8_t> request, const std::string& file) {
    request[0] = 2;
    const uint8_t yiaddr[] = {10, 77, 1, 2}, siaddr[] = {10, 77, 0, 1};
    std::memcpy(request.data() + 16, yiaddr, 4);
    std::memcpy(request.data() + 20, siaddr, 4);
    std::memcpy(request.data() + 108, file.data(), file.size());  // no terminator, as the responder writes it
    return request;
}

TEST(BootRequest, Layout) {
    const auto request = devsim::BuildBootRequest(0x01020304, kMac, 3);
    ASSERT_EQ(request.size(), 300u);
    EXPECT_EQ(request[0], 1);
    EXPECT_EQ(request[1], 1);
    EXPECT_EQ(request[2], 6);
    EXPECT_EQ(std::vector<uint8_t>(request.begin() + 4, request.begin() + 8),
              (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(request[9], 3);
    EXPECT_TRUE(std::equal(kMac.begin(), kMac.end(), request.begin() + 28));
    EXPECT_EQ(request[236], 99);  // magic cookie
}

TEST(BootReply, TakesAddressesAndFile) {
    const auto reply = ReplyTo(devsim::BuildBootRequest(77, kMac, 0), "C:\\fw\\new.bin");
    const auto parsed = devsim::ParseBootReply(reply.data(), reply.size(), 77, kMac);
    ASSERT_TRUE(parsed.valid) << parsed.problem;
    EXPECT_EQ(parsed.yiaddr, 0x0A4D0102u);
    EXPECT_EQ(parsed.siaddr, 0x0A4D0001u);
    EXPECT_EQ(parsed.file, "C:\\fw\\new.bin");
}

TEST(BootReply, FileFillingTheWholeFieldHasNoTerminator) {
    const std::string file(128, 'f');
    auto reply = ReplyTo(devsim::BuildBootRequest(77, kMac, 0), file);
    reply[236] = 'X';  // the vendor area right behind must not leak into the name
    EXPECT_EQ(devsim::ParseBootReply(reply.data(), reply.size(), 77, kMac).file, file);
}

TEST(BootReply, RefusesWhatIsNotOurs) {
    const auto good = ReplyTo(devsim::BuildBootRequest(77, kMac, 0), "/fw.bin");
    auto otherMac = kMac;
    otherMac[5] = 9;
    auto request = good;
    request[0] = 1;
    auto noFile = ReplyTo(devsim::BuildBootRequest(77, kMac, 0), "");
    EXPECT_FALSE(devsim::ParseBootReply(good.data(), good.size(), 78, kMac).valid);
    EXPECT_FALSE(devsim::ParseBootReply(good.data(), good.size(), 77, otherMac).valid);
    EXPECT_FALSE(devsim::ParseBootReply(request.data(), request.size(), 77, kMac).valid);
    EXPECT_FALSE(devsim::ParseBootReply(noFile.data(), noFile.size(), 77, kMac).valid);
    for (size_t length : {0u, 1u, 235u})
        EXPECT_FALSE(devsim::ParseBootReply(good.data(), length, 77, kMac).valid) << length;
    EXPECT_TRUE(devsim::ParseBootReply(good.data(), 236, 77, kMac).valid);
}

}  // namespace
