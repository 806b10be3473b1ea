#include "support/utf8.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/utf8_files.h"
#include "testing/temp_folder.h"

namespace quillane {
namespace {

TEST(Utf8, WellFormedTextRoundTripsThroughWideText) {
    const std::string texts[] = {
        "",
        "C:\\Firmware\\unit.bin",
        "升级固件/网络功放 v2.bin",      // three-byte sequences
        "\xC3\xA9t\xC3\xA9",             // two-byte sequences (été)
        "\xF0\x9F\x94\x8A speaker",      // four bytes: a surrogate pair where wchar_t has 16 bits
        std::string("a\0b", 3),          // an embedded zero is a character like any other
        "\xEF\xBF\xBF\xF4\x8F\xBF\xBF",  // U+FFFF and U+10FFFF, the ends of the ranges
    };
    for (const std::string& text : texts) EXPECT_EQ(Utf8FromWide(WideFromUtf8(text)), text) << text;
    EXPECT_EQ(WideFromUtf8("\xE5\x9B\xBA"), std::wstring(L"\u56FA"));
    EXPECT_EQ(WideFromUtf8("\xF0\x9F\x94\x8A").size(), sizeof(wchar_t) == 2 ? 2u : 1u);
}

TEST(Utf8, EachByteOfAMalformedSequenceBecomesOneReplacementCharacter) {
    const struct {
        std::string bytes;
        std::wstring wide;
    } cases[] = {
        {"\x80", L"\uFFFD"},                                // stray continuation byte
        {"a\xE5\x9B", L"a\uFFFD\uFFFD"},                    // sequence cut at the end
        {"\xE5\x9Bz", L"\uFFFD\uFFFDz"},                    // cut in the middle: the next character survives
        {"\xC0\xAF", L"\uFFFD\uFFFD"},                      // overlong "/" (must not turn into a separator)
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},            // an encoded surrogate
        {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
        {"\xFF", L"\uFFFD"},
    };
    for (const auto& c : cases) EXPECT_EQ(WideFromUtf8(c.bytes), c.wide) << testing::PrintToString(c.bytes);
}

TEST(Utf8, UnencodableWideCharactersBecomeQuestionMarks) {
    std::wstring lone(1, static_cast<wchar_t>(0xD800));  // a lone high surrogate
    EXPECT_EQ(Utf8FromWide(L"a" + lone + L"b"), "a?b");
    if constexpr (sizeof(wchar_t) == 4) {
        EXPECT_EQ(Utf8FromWide(std::wstring(1, static_cast<wchar_t>(0x110000))), "?");
    }
}

// Files under names outside ASCII open by their UTF-8 names, through the
// file calls and std::filesystem alike.
TEST(Utf8Files, OpensAndListsFilesNamedInChinese) {
    test::TempFolder folder;
    const std::string name = folder.File("固件 列表.ini");
    std::FILE* out = OpenFileUtf8(name, "wb");
    ASSERT_NE(out, nullptr);
    std::fputs("[S]\n", out);
    std::fclose(out);
    EXPECT_EQ(test::ReadBytes(name), "[S]\n");
    ASSERT_TRUE(std::filesystem::exists(PathFromUtf8(name)));
    std::string listed;
    for (const auto& entry : std::filesystem::directory_iterator(PathFromUtf8(folder.Dir())))
        listed = Utf8FromPath(entry.path());
    EXPECT_EQ(listed, name);
    EXPECT_EQ(OpenFileUtf8(folder.File("缺少.bin"), "rb"), nullptr);
}

}  // namespace
}  // namespace quillane
