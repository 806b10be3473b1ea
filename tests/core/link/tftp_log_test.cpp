#include <gtest/gtest.h>

#include <filesystem>

#include "link/tftp_transfer.h"
#include "tftp_test_support.h"

using namespace quillane;
using namespace quillane::test;

namespace {

// A clock the test moves by hand.
struct ManualDay {
    std::tm now{};
    ManualDay() { Set(126, 11, 10, 343, 23, 59, 58); }
    void Set(int year, int month, int day, int yday, int hour, int minute, int second) {
        now = std::tm{};
        now.tm_year = year;
        now.tm_mon = month;
        now.tm_mday = day;
        now.tm_yday = yday;
        now.tm_hour = hour;
        now.tm_min = minute;
        now.tm_sec = second;
    }
    LocalTimeSource Source() {
        return [this] { return now; };
    }
};

TEST(TftpLogTest, NamePatternUsesTheExecutablesFolderAndBaseName) {
    EXPECT_EQ(TftpLog::NamePattern("/opt/quillane/bin/quillane", '/'),
              "/opt/quillane/bin/log/quillane%Y%m%d.log");
    EXPECT_EQ(TftpLog::NamePattern("C:\\Tools\\Quillane.exe", '\\'), "C:\\Tools\\log\\Quillane%Y%m%d.log");
    // A dot in a folder is no extension; a percent sign stays a percent sign.
    EXPECT_EQ(TftpLog::NamePattern("/home/a.b/100%/quillane", '/'), "/home/a.b/100%%/log/quillane%Y%m%d.log");
}

TEST(TftpLogTest, WritesTimeStampedLinesAndContinuesIntoTheNextDaysFile) {
    TempFolder folder;
    std::filesystem::create_directories(folder.File("log"));
    ManualDay day;
    TftpLog log;
    log.Open(TftpLog::NamePattern(folder.File("quillane"), kPathSeparator), day.Source());
    log.Write("first");
    day.Set(126, 11, 11, 344, 0, 0, 1);
    log.Write("second");
    log.Write("third");
    log.Close();
    EXPECT_EQ(folder.ReadText(folder.LogFile("quillane20261210.log")),
              "[10-Dec-26 23:59:58] first\n"
              "Logging Continued on file " +
                  folder.File(folder.LogFile("quillane20261211.log")) + "\n");
    EXPECT_EQ(folder.ReadText(folder.LogFile("quillane20261211.log")),
              "Quillane TFTP Server\n\n"
              "[11-Dec-26 00:00:01] second\n"
              "[11-Dec-26 00:00:01] third\n");
}

TEST(TftpLogTest, AppendsToAnExistingFileWithoutABanner) {
    TempFolder folder;
    std::filesystem::create_directories(folder.File("log"));
    folder.Write(folder.LogFile("quillane20261210.log"), Text("earlier\n", false));
    ManualDay day;
    TftpLog log;
    log.Open(TftpLog::NamePattern(folder.File("quillane"), kPathSeparator), day.Source());
    log.Write("later");
    log.Close();
    EXPECT_EQ(folder.ReadText(folder.LogFile("quillane20261210.log")),
              "earlier\n[10-Dec-26 23:59:58] later\n");
}

TEST(TftpLogTest, WithoutTheLogFolderNothingIsWrittenAnywhere) {
    TempFolder folder;
    ManualDay day;
    TftpLog log;
    log.Open(TftpLog::NamePattern(folder.File("quillane"), kPathSeparator), day.Source());
    EXPECT_FALSE(log.IsOpen());
    log.Write("lost");
    day.Set(126, 11, 11, 344, 0, 0, 1);
    log.Write("lost too");
    EXPECT_TRUE(std::filesystem::is_empty(folder.Dir()));
}

TEST(TftpLogTest, LoggingStopsWhenTheNewDaysFileCannotBeOpened) {
    TempFolder folder;
    std::filesystem::create_directories(folder.File("log"));
    std::filesystem::create_directories(
        folder.File(folder.LogFile("quillane20261211.log")));  // a folder in its way
    ManualDay day;
    TftpLog log;
    log.Open(TftpLog::NamePattern(folder.File("quillane"), kPathSeparator), day.Source());
    day.Set(126, 11, 11, 344, 0, 0, 1);
    log.Write("lost");
    EXPECT_FALSE(log.IsOpen());
    day.Set(126, 11, 12, 345, 0, 0, 1);
    log.Write("lost too");
    EXPECT_FALSE(std::filesystem::exists(folder.File(folder.LogFile("quillane20261212.log"))));
}

class TftpServerLogTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(folder.File("log")); }
    TftpServerSettings Settings() {
        TftpServerSettings settings;
        settings.listenAddress = htonl(INADDR_LOOPBACK);
        settings.listenPort = 0;
        settings.executablePath = folder.File("quillane");
        settings.localTime = day.Source();
        return settings;
    }
    std::string Log() const { return folder.ReadText(folder.LogFile("quillane20261210.log")); }

    TempFolder folder;
    ManualDay day;
    TftpServer server;
};

TEST_F(TftpServerLogTest, RequestLinesNameClientPathAndMessageAtTheirLevel) {
    ASSERT_TRUE(server.Start(Settings()));
    TftpRequest request;
    request.client = MakeAddress(ParseIPv4("192.168.40.7"), 2070);
    request.path = "opt/fw/unit.bin";
    request.message = "3 Blocks Served";
    server.LogRequestMessage(request, 2);
    request.path.clear();
    request.message = "Communication Error";
    server.LogRequestMessage(request, 1);
    request.message = "not at this level";
    server.LogRequestMessage(request, 3);
    server.LogServerMessage("server line");
    EXPECT_EQ(Log(),
              "[10-Dec-26 23:59:58] Client 192.168.40.7:2070 opt/fw/unit.bin, 3 Blocks Served\n"
              "[10-Dec-26 23:59:58] Client 192.168.40.7:2070, Communication Error\n"
              "[10-Dec-26 23:59:58] server line\n");
}

TEST_F(TftpServerLogTest, ATakenPortFailsStartWithItsNumberInTheLog) {
    SocketHandle holder = UdpSocketCreate();
    ASSERT_TRUE(SocketBind(holder, htonl(INADDR_LOOPBACK), 0));
    TftpServerSettings settings = Settings();
    settings.listenPort = SocketLocalPort(holder);
    EXPECT_FALSE(server.Start(settings));
    EXPECT_EQ(Log(), "[10-Dec-26 23:59:58] Port " + std::to_string(settings.listenPort) + " bind failed\n");
    EXPECT_EQ(server.ListenPort(), 0) << "nobody may take the server for listening on a port it never had";
    server.Stop();  // bounded and safe after a failed start
    SocketClose(holder);
}

}  // namespace
