#include "plan_file.h"

#include <gtest/gtest.h>

#include <string>

namespace quillane::cli {
namespace {

std::string Dotted(const std::optional<IPv4Address>& address) {
    return address ? address->ToString() : "-";
}

// "device ip mask gateway server standby" of each row, "-" for a kept setting.
std::vector<std::string> Rows(const AddressPlan& plan) {
    std::vector<std::string> rows;
    for (const PlanRow& row : plan.rows) {
        std::string text = std::to_string(row.line) + ": " + std::to_string(row.device);
        for (int s = 0; s < kPlanSettingCount; ++s) text += " " + Dotted(row.settings[s]);
        rows.push_back(text);
    }
    return rows;
}

TEST(PlanFile, ReadsTheFormsSpreadsheetsWrite) {
    const struct {
        const char* name;
        std::string content;
        std::vector<std::string> rows;
    } cases[] = {
        {"comma, LF, kept settings as empty cells",
         "device,ip,gateway\n4879,10.0.0.20,\n56451,,10.0.0.1\n",
         {"2: 4879 10.0.0.20 - - - -", "3: 56451 - - 10.0.0.1 - -"}},
        {"semicolon, CR LF, byte-order mark, names in any case",
         "\xEF\xBB\xBF"
         "Device;IP;Mask;Standby\r\n7;10.0.0.7;255.255.0.0;10.0.0.2\r\n",
         {"2: 7 10.0.0.7 255.255.0.0 - - 10.0.0.2"}},
        {"quoted fields, blanks around fields, blank lines",
         "\"device\", \"ip\" ,server\n\n \"12\" ,\"10.0.0.12\", 10.0.0.3 \n\n",
         {"3: 12 10.0.0.12 - - 10.0.0.3 -"}},
        {"a quoted header holding the other separator",
         "device;\"ip\";\"gateway\"\n1;10.0.0.1;10.0.0.254\n",
         {"2: 1 10.0.0.1 - 10.0.0.254 - -"}},
        {"an exported English inventory",
         "\xEF\xBB\xBFNo.,Choice,Version,State,IP address,Mask,gateway,Server IP address,Standby server IP,"
         "Device type,Device No.\r\n1,,V1.2,,10.0.0.5,255.255.255.0,10.0.0.1,10.0.0.2,0.0.0.0,Play "
         "terminal,4879\r\n",
         {"2: 4879 10.0.0.5 255.255.255.0 10.0.0.1 10.0.0.2 0.0.0.0"}},
        {"an exported Chinese inventory, state with a comma inside quotes",
         "序号,选择,版本号,状态,IP地址,子网掩码,默认网关,服务器IP地址,备用服务器IP地址,设备类型,设备号\n"
         "1,√,V2,\"a,b\",10.0.0.9,255.0.0.0,,,,,99\n",
         {"2: 99 10.0.0.9 255.0.0.0 - - -"}},
        {"a line break inside a quoted cell counts for the line numbers",
         "device,ip\n\"5\",10.0.0.5\n\"6\n\",x\n",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PlanReading reading = ReadAddressPlan(c.content);
        if (c.rows.empty()) {
            EXPECT_FALSE(reading.plan);
            EXPECT_EQ(reading.error.line, 3);
            continue;
        }
        ASSERT_TRUE(reading.plan) << reading.error.message;
        EXPECT_EQ(Rows(*reading.plan), c.rows);
    }
}

TEST(PlanFile, NamesTheLineAndColumnOfEveryFault) {
    const struct {
        std::string content;
        int line;
        const char* column;
        const char* messageStart;
    } cases[] = {
        {"", 1, "", "the plan is empty"},
        {"device,ip,colour\n1,10.0.0.1,red\n", 1, "colour", "unknown column"},
        {"ip,mask\n10.0.0.1,255.0.0.0\n", 1, "", "no device column"},
        {"device,IP,ip address\n", 1, "ip address", "the same column as \"IP\""},
        {"device,ip\n1,10.0.0.1\n2,10.0.0.300\n", 3, "ip", "\"10.0.0.300\" is not an address"},
        {"device,gateway\n1,10.0.0\n", 2, "gateway", "\"10.0.0\" is not an address"},
        {"Device,ip\n1,10.0.0.1\n\n1,10.0.0.2\n", 4, "Device", "device 1 is listed twice (also on line 2)"},
        {"device,ip\nx12,10.0.0.1\n", 2, "device", "\"x12\" is not a device number"},
        {"device,ip\n99999999999,10.0.0.1\n", 2, "device", "\"99999999999\" is not a device number"},
        {"device,ip\n,10.0.0.1\n", 2, "device", "no device number"},
        {"device,ip\n1,10.0.0.1,extra\n", 2, "", "more fields than the header"},
        {"device,ip\n1,\"10.0.0.1\n", 2, "", "a quoted field is never closed"},
        {"device,ip\n1,\"10.0.0.1\"x\n", 2, "", "text follows the closing quote"},
        {"device,ip\r\n", 1, "", "the plan lists no devices"},
        // Lone CR line ends: a quoted line break counts as one line like any other.
        {"device,ip,state\r1,10.0.0.1,\"a\rb\"\r1,10.0.0.2,\r", 4, "device",
         "device 1 is listed twice (also on line 2)"},
        {"device,ip,state\r\n1,10.0.0.1,\"a\r\nb\"\r\n2,x,\r\n", 4, "ip", "\"x\" is not an address"},
        {"device,ip,state\n1,10.0.0.1,\"a\r\rb\"\n2,x,\n", 5, "ip", "\"x\" is not an address"},
        // Files saved in another form than UTF-8 CSV say what they look like.
        {std::string("\xFF\xFE"
                     "d\0e\0v\0",
                     8),
         1, "", "the file looks like UTF-16 text; plans are UTF-8 CSV"},
        {std::string("d\0e\0v\0i\0c\0e\0", 12), 1, "", "the file looks like UTF-16 text"},
        {"device,ip,\xC9\xE8\xB1\xB8\xBA\xC5\n", 1, "",
         "the file is not UTF-8 text (it looks like the Chinese code page, GBK); plans are UTF-8 CSV"},
        {"device,ip\n1,10.0.0.1\n2,\xFF\n", 3, "", "the file is not UTF-8 text; plans"},
        {"device\tip\n1\t10.0.0.1\n", 1, "", "the columns are separated by tabs; plans are UTF-8 CSV"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        const PlanReading reading = ReadAddressPlan(c.content);
        ASSERT_FALSE(reading.plan);
        EXPECT_EQ(reading.error.line, c.line);
        EXPECT_EQ(reading.error.column, c.column);
        EXPECT_EQ(reading.error.message.rfind(c.messageStart, 0), 0u) << reading.error.message;
    }
}

// A cell in an error message is cut, and its control bytes and bytes that
// are not UTF-8 are shown escaped.
TEST(PlanFile, ErrorMessagesShowCellsCutAndEscaped) {
    const PlanReading longCell = ReadAddressPlan("device,ip\n1," + std::string(100000, '7') + "\n");
    ASSERT_FALSE(longCell.plan);
    EXPECT_EQ(longCell.error.message,
              "\"" + std::string(40, '7') + "...\" is not an address of four octets 0-255");
    const PlanReading control = ReadAddressPlan("device,ip\n1,\"1\x1B[2J\x7F\r\n\"\n");
    ASSERT_FALSE(control.plan);
    EXPECT_EQ(control.error.message, "\"1\\x1B[2J\\x7F\\x0D\\x0A\" is not an address of four octets 0-255");
    EXPECT_EQ(DescribePlanError("p.csv", {1, "co\x07l\xC3", "unknown column"}),
              "p.csv, line 1, column \"co\\x07l\\xC3\": unknown column");
}

TEST(PlanFile, ErrorTextNamesFileLineAndColumn) {
    EXPECT_EQ(DescribePlanError("plan.csv", {4, "ip", "\"1.2.3\" is not an address"}),
              "plan.csv, line 4, column \"ip\": \"1.2.3\" is not an address");
    EXPECT_EQ(DescribePlanError("plan.csv", {1, "", "no device column"}),
              "plan.csv, line 1: no device column");
}

}  // namespace
}  // namespace quillane::cli
