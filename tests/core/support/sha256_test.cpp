#include "support/sha256.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/temp_folder.h"

namespace quillane {
namespace {

// Lengths around the 55/56/64-byte padding edges catch a wrong length field or block split.
TEST(Sha256, KnownDigests) {
    const struct {
        std::string input;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) EXPECT_EQ(Sha256Hex(c.input), c.digest) << c.input.size() << " bytes";
}

TEST(Sha256, FileDigestMatchesTheBytesAndSaysWhenUnreadable) {
    test::TempFolder folder;
    const std::string bytes(70000, '\x5A');
    const std::string path = folder.Write("image.bin", bytes);
    const auto digest = DigestFile(path);
    ASSERT_TRUE(digest);
    EXPECT_EQ(digest->size, bytes.size());
    EXPECT_EQ(digest->sha256, Sha256Hex(bytes));
    EXPECT_FALSE(DigestFile(folder.File("missing.bin")));
}

}  // namespace
}  // namespace quillane
