#include "support/served_file.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "support/open_file_limit.h"
#include "testing/temp_folder.h"

namespace quillane {
namespace {

using test::TempFolder;

TEST(ServedFileTest, ARegularFileOpensWithItsSize) {
    TempFolder folder;
    const std::string path = folder.Write("unit.bin", std::string(1500, 'x'));
    const ServedFile file = OpenServedFile(path, false);
    ASSERT_EQ(file.result, ServedFileOpen::kOpened);
    EXPECT_EQ(file.size, 1500u);
    std::fclose(file.stream);
    EXPECT_EQ(OpenServedFile(folder.File("missing.bin"), false).result, ServedFileOpen::kNotFound);
}

#ifndef _WIN32
// Anything but a regular file is refused at once, without waiting for a
// writer (FIFO) or streaming without end (a device).
TEST(ServedFileTest, FifoDeviceAndFolderAreRefusedWithoutBlocking) {
    TempFolder folder;
    const std::string fifo = folder.File("fw.bin");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string link = folder.File("link.bin");
    ASSERT_EQ(symlink("/dev/zero", link.c_str()), 0);
    for (const std::string& path : {fifo, link, std::string("/dev/zero"), folder.Dir()}) {
        SCOPED_TRACE(path);
        const ServedFile file = OpenServedFile(path, false);
        EXPECT_EQ(file.result, ServedFileOpen::kNotRegular);
        EXPECT_EQ(file.stream, nullptr);
    }
}

// Runs in a death test's child: exits 0 when the limits came out as expected.
void OutOfDescriptorsIsToldApart(const std::string& path) {
    const rlimit tight{16, 64};
    if (setrlimit(RLIMIT_NOFILE, &tight) != 0) _exit(2);
    if (RaiseOpenFileLimit() != 64) _exit(3);
    rlimit now{};
    if (getrlimit(RLIMIT_NOFILE, &now) != 0 || now.rlim_cur != 64) _exit(4);
    const rlimit full{16, 16};
    if (setrlimit(RLIMIT_NOFILE, &full) != 0) _exit(5);
    while (dup(0) >= 0) {
    }
    if (OpenServedFile(path, false).result != ServedFileOpen::kOutOfDescriptors) _exit(6);
    _exit(0);
}

TEST(ServedFileDeathTest, TheSoftLimitRisesToTheHardOneAndExhaustionIsToldApart) {
    TempFolder folder;
    const std::string path = folder.Write("unit.bin", std::string(10, 'x'));
    EXPECT_EXIT(OutOfDescriptorsIsToldApart(path), ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
}  // namespace quillane
