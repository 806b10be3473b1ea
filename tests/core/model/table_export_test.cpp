#include "model/table_export.h"

#include <gtest/gtest.h>

using namespace quillane;

TEST(TableExport, CsvQuotesOnlyFieldsThatNeedIt) {
    struct Case {
        std::string field, written;
    };
    const Case cases[] = {
        {"192.168.1.10", "192.168.1.10"},
        {"", ""},
        {"播放终端", "播放终端"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"cr\r", "\"cr\r\""},
        {" padded", "\" padded\""},  // spreadsheet programs would drop the blank
        {"-51", "-51"},
    };
    for (const Case& c : cases) EXPECT_EQ(CsvText({{c.field}}, "\n"), c.written + "\n") << c.field;
}

TEST(TableExport, CsvFileHasTheByteOrderMarkAndOneCrLfLinePerRow) {
    const std::string file = CsvFileContent({{"No.", "IP address"}, {"1", "10.0.0.1"}, {"2", ""}});
    EXPECT_EQ(file,
              "\xEF\xBB\xBF"
              "No.,IP address\r\n1,10.0.0.1\r\n2,\r\n");
    EXPECT_EQ(CsvFileContent({}), "\xEF\xBB\xBF");
}

TEST(TableExport, TabSeparatedRowsStayOneLineEach) {
    EXPECT_EQ(TabSeparatedText({{"1", "a\tb", "c\r\nd"}, {"2", "", "x"}}), "1\ta b\tc  d\n2\t\tx\n");
    EXPECT_EQ(TabSeparatedText({}), "");
}
