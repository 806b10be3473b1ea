#include "support/narrow_text.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace quillane {
namespace {

// "升级中..." in the system's narrow encoding: UTF-8, or on Windows the ANSI
// code page: the Chinese one (936) carries it, a Western one cannot.
std::string ChineseInSystemNarrow() {
#ifdef _WIN32
    if (GetACP() == 936) return "\xC9\xFD\xBC\xB6\xD6\xD0...";
    return "???...";
#else
    return "\xE5\x8D\x87\xE7\xBA\xA7\xE4\xB8\xAD...";
#endif
}

TEST(NarrowText, ConvertsToTheSystemEncodingWithLengthAndTerminator) {
    struct Case {
        std::wstring wide;
        std::string narrow;
    };
    const Case cases[] = {
        {L"", ""},
        {L"192.168.1.10", "192.168.1.10"},
        {L"\u5347\u7EA7\u4E2D...", ChineseInSystemNarrow()},
        {std::wstring(L"a\0b", 3), std::string("a\0b", 3)},  // embedded zero kept
    };
    for (const Case& c : cases) {
        NarrowText n = ToNarrow(c.wide);
        ASSERT_NE(n.text, nullptr);
        EXPECT_EQ(n.length, static_cast<int32_t>(c.narrow.size()));
        EXPECT_EQ(std::string(n.text, n.length), c.narrow);
        EXPECT_EQ(n.text[n.length], '\0');
    }
    // Text from inside the core (UTF-8) reaches the same bytes.
    EXPECT_EQ(ToNarrowFromUtf8("\xE5\x8D\x87\xE7\xBA\xA7\xE4\xB8\xAD...").str(), ChineseInSystemNarrow());
}

TEST(NarrowText, NullPointerConvertsAsEmptyAndFreeIsIdempotent) {
    NarrowText fromNull = ToNarrowZ(nullptr);
    NarrowText fromEmpty = ToNarrowZ(L"");
    EXPECT_EQ(fromNull.length, 0);
    ASSERT_NE(fromNull.text, nullptr);
    EXPECT_EQ(fromNull.text[0], '\0');
    EXPECT_EQ(fromNull.str(), fromEmpty.str());
    FreeNarrow(fromNull);
    FreeNarrow(fromNull);
    EXPECT_EQ(fromNull.text, nullptr);
    EXPECT_EQ(fromNull.length, 0);
}

}  // namespace
}  // namespace quillane
