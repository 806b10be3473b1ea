#include "support/profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#ifdef __linux__
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "testing/line_ends.h"
#include "testing/temp_folder.h"

namespace quillane {
namespace {

using test::NewFileText;
using test::ReadBytes;
using test::WriteBytes;

class ProfileTest : public ::testing::Test {
protected:
    test::TempFolder dir;
    std::string ini = dir.File("test.ini");
};

TEST_F(ProfileTest, WritesBuildTheFileKeyByKeyInFirstWrittenOrder) {
    EXPECT_TRUE(WriteProfileString(ini, "Main", "a", "1"));
    EXPECT_TRUE(WriteProfileString(ini, "Main", "b", "2"));
    EXPECT_TRUE(WriteProfileString(ini, "Other", "x", "y"));
    EXPECT_TRUE(WriteProfileString(ini, "Main", "c", "3"));   // joins its section, not the end
    EXPECT_TRUE(WriteProfileString(ini, "MAIN", "A", "10"));  // in place, spelling kept
    EXPECT_TRUE(WriteProfileString(ini, "main", "b", std::nullopt));
    EXPECT_TRUE(WriteProfileString(ini, "Other", "empty", ""));
    EXPECT_EQ(ReadBytes(ini), NewFileText("[Main]\na=10\nc=3\n[Other]\nx=y\nempty=\n"));
}

TEST_F(ProfileTest, AWriteLeavesEveryOtherByteAlone) {
    const std::string before =
        "; settings of the tool\n"
        "\n"
        "[Quillane]\n"
        "  StartIP = 0xC0A82801   \n"
        "Unknown=keep me\n"
        "\n"
        "; next section\n"
        "[Other]\n"
        "StartIP=99";  // no final line end
    WriteBytes(ini, before);
    EXPECT_TRUE(WriteProfileString(ini, "quillane", "startip", "167772161"));
    EXPECT_TRUE(WriteProfileString(ini, "Quillane", "EndIP", "167772169"));
    EXPECT_TRUE(WriteProfileString(ini, "Other", "New", "1"));
    EXPECT_EQ(ReadBytes(ini),
              "; settings of the tool\n"
              "\n"
              "[Quillane]\n"
              "StartIP=167772161\n"
              "Unknown=keep me\n"
              "EndIP=167772169\n"
              "\n"
              "; next section\n"
              "[Other]\n"
              "StartIP=99\n"
              "New=1");
}

TEST_F(ProfileTest, CrlfFilesReadAndKeepTheirLineEnds) {
    WriteBytes(ini, "[LANGUAGE]\r\nCurLanguage=2\r\nOld=x\r\n");
    EXPECT_EQ(ReadProfileInt(ini, "LANGUAGE", "CurLanguage", 1), 2);
    EXPECT_EQ(ReadProfileString(ini, "LANGUAGE", "Old", "", 259), "x");
    EXPECT_TRUE(WriteProfileString(ini, "LANGUAGE", "Old", "y"));
    EXPECT_TRUE(WriteProfileString(ini, "LANGUAGE", "Added", "1"));
    EXPECT_TRUE(WriteProfileString(ini, "Second", "k", "v"));
    EXPECT_EQ(ReadBytes(ini), "[LANGUAGE]\r\nCurLanguage=2\r\nOld=y\r\nAdded=1\r\n[Second]\r\nk=v\r\n");
}

TEST(ProfileIntTest, ParsesLikeThePlatformReader) {
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {
        {"0xC0A82801", static_cast<int32_t>(0xC0A82801u)},
        {"-1062721535", static_cast<int32_t>(0xC0A82801u)},
        {"167772161", 167772161},
        {"0XfF", 255},
        {"  42", 42},
        {"+7", 7},
        {"12abc", 12},
        {"abc", 0},
        {"0x", 0},
        {"-", 0},
        {"4294967295", -1},
        {"4294967296", 0},  // wraps to 32 bits
        {"-0x10", -16},
        {"2147483648", INT32_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseProfileInt(c.text), c.value) << c.text;
}

TEST_F(ProfileTest, DefaultsForMissingFileKeyOrEmptyValue) {
    EXPECT_EQ(ReadProfileInt(ini, "S", "k", 5), 5);
    EXPECT_EQ(ReadProfileString(ini, "S", "k", "dflt", 259), "dflt");
    WriteBytes(ini, "[S]\nempty=\ntext=abc\nquoted=\" a b \"\nother=1\n[T]\nk=2\n");
    EXPECT_EQ(ReadProfileInt(ini, "S", "missing", 5), 5);
    EXPECT_EQ(ReadProfileInt(ini, "S", "k", 5), 5);  // k lives in another section
    EXPECT_EQ(ReadProfileInt(ini, "S", "empty", 5), 5);
    EXPECT_EQ(ReadProfileInt(ini, "S", "text", 5), 0);
    EXPECT_EQ(ReadProfileString(ini, "S", "quoted", "", 259), " a b ");
    EXPECT_EQ(ReadProfileInt(ini, "s", "OTHER", 5), 1);
}

TEST_F(ProfileTest, StringReadsAreCutToWholeCharacters) {
    const std::string longPath = "/" + std::string(300, 'a');
    ASSERT_TRUE(WriteProfileString(ini, "S", "path", longPath));
    EXPECT_EQ(ReadProfileString(ini, "S", "path", "", 259), longPath.substr(0, 259));
    ASSERT_TRUE(WriteProfileString(ini, "S", "path", "文件路径"));  // 3 bytes per character
    EXPECT_EQ(ReadProfileString(ini, "S", "path", "", 3), "文件路");
    EXPECT_EQ(ReadProfileString(ini, "S", "missing", "默认值", 2), "默认");
    // A damaged file: stray continuation bytes and a cut sequence count one
    // character each, so a read stays within four bytes per character.
    WriteBytes(ini, "[S]\npath=a" + std::string(600, '\x82') + "\n[T]\npath=\xE6\x96xyz\n");
    EXPECT_EQ(ReadProfileString(ini, "S", "path", "", 5), "a" + std::string(4, '\x82'));
    EXPECT_EQ(ReadProfileString(ini, "T", "path", "", 2), "\xE6\x96x");
}

TEST_F(ProfileTest, DamagedFilesGiveDefaultsAndAWriteAddsOnlyItsKey) {
    static const char kBinary[] =
        "\x7f"
        "ELF\0\0[\x01\xff\xfe=\n\0[S\nk=1\r\x80\x81";
    const std::string binary(kBinary, sizeof kBinary - 1);
    const std::string cases[] = {"", binary, "[S\nk=1\n", "=\n[]\n=x\n==\n"};
    for (const std::string& before : cases) {
        WriteBytes(ini, before);
        EXPECT_EQ(ReadProfileInt(ini, "S", "k", 7), 7);
        ASSERT_TRUE(WriteProfileString(ini, "S", "k", "5"));
        const std::string after = ReadBytes(ini);
        const std::string joint = (before.empty() || before.back() == '\n') ? "" : "\n";
        // An empty file has no line end of its own to follow.
        const std::string added = before.empty() ? NewFileText("[S]\nk=5\n") : "[S]\nk=5\n";
        EXPECT_EQ(after, before + joint + added);
        EXPECT_EQ(ReadProfileInt(ini, "S", "k", 7), 5);
    }
}

TEST_F(ProfileTest, OversizedOrUtf16FileIsNeitherReadNorRewritten) {
    const std::string huge = "[S]\nk=5\n" + std::string(kMaxProfileFileBytes, 'x');
    static const char kUtf16[] =
        "\xFF\xFE[\0S\0]\0\n\0k\0=\0"
        "5\0\n\0";
    const std::string utf16(kUtf16, sizeof kUtf16 - 1);
    for (const std::string& before : {huge, utf16}) {
        WriteBytes(ini, before);
        EXPECT_EQ(ReadProfileInt(ini, "S", "k", 7), 7);
        EXPECT_FALSE(WriteProfileString(ini, "S", "k", "6"));
        EXPECT_EQ(ReadBytes(ini), before);
    }
}

TEST_F(ProfileTest, ValuesWithEdgeBlanksOrQuotesReadBackExactly) {
    for (const std::string value : {"\"", "trail ", "\"quoted\"", "'single'", "in \"side\" ok", " lead"}) {
        ASSERT_TRUE(WriteProfileString(ini, "S", "path", value));
        EXPECT_EQ(ReadProfileString(ini, "S", "path", "", 259), value);
    }
    EXPECT_EQ(ReadBytes(ini), NewFileText("[S]\npath=\" lead\"\n"));
}

TEST_F(ProfileTest, RemovingAMissingKeyCreatesNothing) {
    EXPECT_TRUE(WriteProfileString(ini, "S", "k", std::nullopt));
    EXPECT_FALSE(std::filesystem::exists(ini));
    WriteBytes(ini, "[S]\r\nk=1\r\nK=2\r\n");
    EXPECT_TRUE(WriteProfileString(ini, "s", "K", std::nullopt));  // the first match goes
    EXPECT_EQ(ReadBytes(ini), "[S]\r\nK=2\r\n");
}

TEST_F(ProfileTest, RefusesTextThatWouldBreakTheFileApart) {
    WriteBytes(ini, "[S]\nk=1\n");
    EXPECT_FALSE(WriteProfileString(ini, "S", "k", "a\nStartIP=0"));
    EXPECT_FALSE(WriteProfileString(ini, "S", "k", std::string("a\0b", 3)));
    EXPECT_FALSE(WriteProfileString(ini, "S]", "k", "1"));
    EXPECT_FALSE(WriteProfileString(ini, "S", "k=x", "1"));
    EXPECT_FALSE(WriteProfileString(ini, "", "k", "1"));
    EXPECT_FALSE(WriteProfileString(ini, "S", " ", "1"));
    EXPECT_FALSE(WriteProfileString(ini, "S", " [T]", "1"));  // would read as a section
    EXPECT_FALSE(WriteProfileString(ini, "S", " ;k", "1"));   // would read as a comment
    EXPECT_EQ(ReadBytes(ini), "[S]\nk=1\n");
}

// The lines hold names without blanks at either end; the calls match them so.
TEST_F(ProfileTest, NamesWithEdgeBlanksMatchTheirTrimmedSpelling) {
    ASSERT_TRUE(WriteProfileString(ini, " S ", " path ", "a"));
    EXPECT_EQ(ReadProfileString(ini, "s", "PATH", "", 259), "a");
    ASSERT_TRUE(WriteProfileString(ini, "S", "path", "b"));
    EXPECT_EQ(ReadProfileString(ini, " S", "path ", "", 259), "b");
    ASSERT_TRUE(WriteProfileString(ini, "S ", " path", std::nullopt));
    EXPECT_EQ(ReadBytes(ini), NewFileText("[S]\n"));
}

TEST_F(ProfileTest, DoubledSeparatorAndNoLeftoverTemporaryFiles) {
    const std::string path = dir.Dir() + "/double.ini";
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(WriteProfileString(path, "S", "k", std::to_string(i)));
    EXPECT_EQ(ReadProfileInt(path, "S", "k", -1), 4);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Dir())) {
        EXPECT_EQ(entry.path().filename(), "double.ini");
        ++files;
    }
    EXPECT_EQ(files, 1);
}

#ifdef __linux__
// A folder the operator cannot write to (a root-owned installation folder)
// whose settings files were made writable for operators. Root ignores
// permissions, so for root the folder is made immutable instead.
class LockedFolder {
public:
    explicit LockedFolder(const std::string& dir) : m_dir(dir) {
        if (geteuid() != 0) {
            m_locked = chmod(dir.c_str(), 0555) == 0;
            return;
        }
        m_fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int flags = 0;
        if (m_fd >= 0 && ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            m_locked = ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
    }
    ~LockedFolder() {
        if (m_fd >= 0) {
            int flags = 0;
            if (ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ioctl(m_fd, FS_IOC_SETFLAGS, &flags);
            }
            close(m_fd);
        } else {
            chmod(m_dir.c_str(), 0700);
        }
    }
    bool Locked() const { return m_locked; }

private:
    std::string m_dir;
    int m_fd = -1;
    bool m_locked = false;
};

TEST_F(ProfileTest, AWritableFileInAFolderWithoutWriteAccessIsWrittenInPlace) {
    WriteBytes(ini, "[S]\nk=1\n");
    {
        LockedFolder folder(dir.Dir());
        if (!folder.Locked()) GTEST_SKIP() << "cannot take write access to the folder away";
        EXPECT_TRUE(WriteProfileString(ini, "S", "k", "2"));
        EXPECT_TRUE(WriteProfileString(ini, "S", "new", "3"));
        EXPECT_FALSE(WriteProfileString(dir.File("missing.ini"), "S", "k", "1"));  // cannot be created there
    }
    EXPECT_EQ(ReadBytes(ini), "[S]\nk=2\nnew=3\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing.ini")));
}
#else
TEST_F(ProfileTest, AWritableFileInAFolderWithoutWriteAccessIsWrittenInPlace) {
    GTEST_SKIP() << "Linux only: the folder is locked with POSIX permissions or the immutable flag";
}
#endif

TEST_F(ProfileTest, WritesFromTwoThreadsLoseNothing) {
    auto writer = [this](const std::string& prefix) {
        for (int i = 0; i < 40; ++i) WriteProfileString(ini, "S", prefix + std::to_string(i), "1");
    };
    std::thread first(writer, "a");
    std::thread second(writer, "b");
    first.join();
    second.join();
    for (const std::string prefix : {"a", "b"})
        for (int i = 0; i < 40; ++i) EXPECT_EQ(ReadProfileInt(ini, "S", prefix + std::to_string(i), 0), 1);
}

}  // namespace
}  // namespace quillane
