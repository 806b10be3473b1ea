#include "sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Digest(const std::string& text) {
    devsim::Sha256 hash;
    hash.Update(text.data(), text.size());
    return hash.FinishHex();
}

TEST(Sha256, KnownVectors) {
    struct Case {
        std::string input;
        const char* digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // 56 bytes: the padding no longer fits the first block.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmno"
         "pqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Case& c : cases) EXPECT_EQ(Digest(c.input), c.digest) << "input length " << c.input.size();
}

TEST(Sha256, PiecewiseUpdatesMatchOneUpdate) {
    std::string data;
    for (int i = 0; i < 3000; ++i) data += static_cast<char>(i * 7 + 3);
    const std::string whole = Digest(data);
    for (size_t piece : {1u, 3u, 63u, 64u, 65u, 511u, 512u}) {
        devsim::Sha256 hash;
        for (size_t at = 0; at < data.size(); at += piece)
            hash.Update(data.data() + at, std::min(piece, data.size() - at));
        EXPECT_EQ(hash.FinishHex(), whole) << "pieces of " << piece;
    }
}

}  // namespace
