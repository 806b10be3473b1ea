#include "support/whole_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/utf8_files.h"
#include "testing/temp_folder.h"

using namespace quillane;

namespace {

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(PathFromUtf8(dir)))
        names.push_back(Utf8FromPath(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(WholeFile, WritesANewFileAndReplacesAnOldOneWhole) {
    test::TempFolder folder;
    const std::string path = folder.File("列表.csv");
    ASSERT_TRUE(WriteWholeFile(path, std::string("first\0bytes", 11)));
    EXPECT_EQ(test::ReadBytes(path), std::string("first\0bytes", 11));
    ASSERT_TRUE(WriteWholeFile(path, "second"));
    EXPECT_EQ(test::ReadBytes(path), "second");
    EXPECT_EQ(FilesIn(folder.Dir()), std::vector<std::string>{"列表.csv"});  // no temporary file left
}

// A file that cannot be written leaves nothing behind: no half file, no
// temporary file, the old file as it was.
TEST(WholeFile, AFailedWriteLeavesTheOldFileAndNoTrace) {
    test::TempFolder folder;
    EXPECT_FALSE(WriteWholeFile(folder.File("no-such-folder") + "/list.csv", "x"));
    EXPECT_FALSE(WriteWholeFile("", "x"));
    // The name is a folder: the temporary file is written, but cannot take its place.
    std::filesystem::create_directory(PathFromUtf8(folder.File("taken")));
    EXPECT_FALSE(WriteWholeFile(folder.File("taken"), "x"));
    EXPECT_EQ(FilesIn(folder.Dir()), std::vector<std::string>{"taken"});
}
