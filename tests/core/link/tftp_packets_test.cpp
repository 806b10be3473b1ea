#include "link/tftp_packets.h"

#include <gtest/gtest.h>

#include "tftp_test_support.h"

using namespace quillane;
using namespace quillane::test;

namespace {

// Every cut of a request parses within its bytes; the last byte always acts
// as the terminator.
TEST(TftpPacketsTest, EveryTruncationOfARequestParsesWithinItsBytes) {
    const Bytes full = Request(kTftpReadRequest, "fw.bin", "octet", {{"blksize", "512"}});
    for (size_t length = 0; length <= full.size(); ++length) {
        const Bytes cut(full.begin(), full.begin() + static_cast<long>(length));
        const TftpRequestFields fields = ParseTftpRequest(cut.data(), cut.size());
        EXPECT_LE(fields.fileName.size() + fields.mode.size(), length) << length;
    }
    const TftpRequestFields whole = ParseTftpRequest(full.data(), full.size());
    EXPECT_EQ(whole.fileName, "fw.bin");
    EXPECT_EQ(whole.mode, "octet");
    ASSERT_EQ(whole.options.size(), 1u);
    EXPECT_EQ(whole.options[0].value, "512");
    const Bytes unterminated = Word(kTftpReadRequest) + Text("fw.bin") + Text("octet", false);
    EXPECT_EQ(ParseTftpRequest(unterminated.data(), unterminated.size()).mode, "octe");
}

TEST(TftpPacketsTest, RequestsBeyondTheLongestDatagramAreCut) {
    const Bytes huge = Request(kTftpReadRequest, std::string(600, 'a'));
    const TftpRequestFields fields = ParseTftpRequest(huge.data(), huge.size());
    EXPECT_EQ(fields.fileName.size(), kTftpMaxDatagram - 3);
    EXPECT_TRUE(fields.mode.empty());
}

TEST(TftpPacketsTest, OptionValuesAreClamped) {
    struct Case {
        const char* value;
        uint16_t blockSize, timeout;
    } cases[] = {
        {"0", 512, 1},       {"1", 512, 1},     {"255", 512, 255}, {"256", 512, 255},
        {"-1", 512, 255},    {"abc", 512, 1},   {"", 512, 1},      {"99999999999999999999999", 512, 255},
        {"70000", 512, 255}, {"512", 512, 255},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(NegotiateBlockSize(c.value, 512), c.blockSize);
        EXPECT_EQ(NegotiateTimeout(c.value), c.timeout);
    }
    EXPECT_EQ(NegotiateBlockSize("1428", 65464), 1428);
    EXPECT_EQ(NegotiateBlockSize("70000", 65464), 65464);
}

}  // namespace
