#include "arguments.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace quillane::cli;

namespace {

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

Invocation Parse(const std::string& line) {
    return ParseArguments(Words(line));
}

}  // namespace

TEST(CliArguments, SearchOptions) {
    const Invocation plain = Parse("search");
    EXPECT_TRUE(plain.error.empty());
    EXPECT_EQ(plain.command, Command::Search);
    EXPECT_FALSE(plain.search.range);
    EXPECT_FALSE(plain.search.types);
    EXPECT_EQ(plain.search.waitMs, 1500u);
    EXPECT_EQ(plain.format, OutputFormat::Table);
    EXPECT_EQ(plain.search.language, 2);

    const Invocation full = Parse(
        "search --range 10.77.1.1-10.77.2.0 --types 6401,51,6401 --wait=200 --format json "
        "--language zh");
    ASSERT_TRUE(full.error.empty()) << full.error;
    EXPECT_TRUE(full.search.range);
    EXPECT_EQ(full.search.rangeFirst, 0x0A4D0101u);
    EXPECT_EQ(full.search.rangeLast, 0x0A4D0200u);
    EXPECT_EQ(full.search.types, (std::vector<int32_t>{6401, 51}));
    EXPECT_EQ(full.search.waitMs, 200u);
    EXPECT_EQ(full.format, OutputFormat::Json);
    EXPECT_EQ(full.search.language, 1);
    // A range whose start lies above its end is the station's to refuse, as Find does.
    EXPECT_TRUE(Parse("search --range 10.0.0.9-10.0.0.1").error.empty());
}

TEST(CliArguments, ChangeAndUpgradeOptions) {
    const Invocation change = Parse(
        "change --devices 12,-3,70000,12 --ip 192.168.1.20 --edit-type keep34 --mask 255.255.255.0 --gateway "
        "192.168.1.1 --server 192.168.1.250 --standby 192.168.1.251 --range 192.168.1.1-192.168.1.254");
    ASSERT_TRUE(change.error.empty()) << change.error;
    EXPECT_EQ(change.change.devices.deviceNumbers, (std::vector<int32_t>{12, -3, 70000}));
    EXPECT_FALSE(change.change.devices.all);
    EXPECT_EQ(change.change.ip, 0xC0A80114u);
    EXPECT_EQ(change.change.editType, EditType::Keep34);
    EXPECT_EQ(change.change.mask, 0xFFFFFF00u);
    EXPECT_EQ(change.change.gateway, 0xC0A80101u);
    EXPECT_EQ(change.change.server, 0xC0A801FAu);
    EXPECT_EQ(change.change.standby, 0xC0A801FBu);
    EXPECT_TRUE(change.search.range);

    const Invocation maskOnly = Parse("change --all --mask 255.255.0.0");
    ASSERT_TRUE(maskOnly.error.empty()) << maskOnly.error;
    EXPECT_TRUE(maskOnly.change.devices.all);
    EXPECT_FALSE(maskOnly.change.ip);

    const Invocation upgrade = Parse("upgrade --file /tmp/fw.bin --all --verify --wait 800");
    ASSERT_TRUE(upgrade.error.empty()) << upgrade.error;
    EXPECT_EQ(upgrade.upgrade.parallel, 1);
    EXPECT_EQ(upgrade.upgrade.maxFailures, 0);
    const Invocation several = Parse("upgrade --file fw.bin --all --parallel 32 --max-failures=3");
    ASSERT_TRUE(several.error.empty()) << several.error;
    EXPECT_EQ(several.upgrade.parallel, 32);
    EXPECT_EQ(several.upgrade.maxFailures, 3);
    EXPECT_EQ(upgrade.upgrade.file, "/tmp/fw.bin");
    EXPECT_TRUE(upgrade.upgrade.devices.all);
    EXPECT_TRUE(upgrade.upgrade.verify);
    EXPECT_EQ(upgrade.search.waitMs, 800u);
    EXPECT_FALSE(upgrade.upgrade.record.dryRun);
}

TEST(CliArguments, PlansDryRunsReportsAndChecks) {
    const Invocation plan = Parse("change --plan site.csv --dry-run --report runs.jsonl");
    ASSERT_TRUE(plan.error.empty()) << plan.error;
    EXPECT_EQ(plan.change.planFile, "site.csv");
    EXPECT_TRUE(plan.change.record.dryRun);
    EXPECT_EQ(plan.change.record.report, "runs.jsonl");

    const Invocation upgrade = Parse("upgrade --file fw.bin --devices 4 --report=r.jsonl");
    ASSERT_TRUE(upgrade.error.empty()) << upgrade.error;
    EXPECT_EQ(upgrade.upgrade.record.report, "r.jsonl");
    EXPECT_FALSE(upgrade.upgrade.record.dryRun);

    EXPECT_TRUE(Parse("search --check --format csv").check);
    EXPECT_FALSE(Parse("search").check);
}

TEST(CliArguments, DocumentsAndWantedVersionsForPrograms) {
    const Invocation upgrade =
        Parse("upgrade --file fw.bin --all --verify --version 2024.3.1.8 --format json");
    ASSERT_TRUE(upgrade.error.empty()) << upgrade.error;
    EXPECT_EQ(upgrade.upgrade.version, "2024.3.1.8");
    EXPECT_EQ(upgrade.format, OutputFormat::Json);
    const Invocation change = Parse("change --plan site.csv --format json");
    ASSERT_TRUE(change.error.empty()) << change.error;
    EXPECT_EQ(change.format, OutputFormat::Json);
    EXPECT_EQ(Parse("change --all --mask 255.0.0.0").format, OutputFormat::Table);
}

TEST(CliArguments, UnusableArgumentsSayWhy) {
    struct Case {
        const char* line;
        const char* says;
    };
    const Case cases[] = {
        {"", "no command"},
        {"find", "unknown command 'find'"},
        {"search --frobnicate", "'--frobnicate' is not an option of search"},
        {"search --all", "'--all' is not an option of search"},
        {"change --all --mask 255.0.0.0 --format csv", "--format is table or json for change"},
        {"change --plan p.csv --format csv", "--format is table or json for change"},
        {"upgrade --all --file fw.bin --format csv", "--format is table or json for upgrade"},
        {"upgrade --all --file fw.bin --version", "--version needs a value"},
        {"upgrade --all --file fw.bin --version=", "--version wants the version"},
        {"search --version 1.2", "'--version' is not an option of search"},
        {"upgrade --all --file fw.bin --parallel 0", "--parallel wants how many devices at once, 1 to 32"},
        {"upgrade --all --file fw.bin --parallel 33", "--parallel wants how many devices at once, 1 to 32"},
        {"upgrade --all --file fw.bin --parallel 2x", "--parallel wants how many devices at once, 1 to 32"},
        {"upgrade --all --file fw.bin --max-failures -1", "--max-failures wants a number of devices"},
        {"search --parallel 2", "'--parallel' is not an option of search"},
        {"search --range", "--range needs a value"},
        {"search --range 10.0.0.1", "--range wants FIRST-LAST"},
        {"search --range 10.0.0.1-10.0.0.256", "--range wants FIRST-LAST"},
        {"search --types 6401,1234", "'1234' is not a device type code"},
        {"search --types 6401,", "'' is not a device type code"},
        {"search --wait -5", "--wait wants milliseconds"},
        {"search --wait 600001", "--wait wants milliseconds"},
        {"search --format xml", "--format is table, csv or json"},
        {"search --language fr", "--language is en or zh"},
        {"upgrade --all --verify=yes --file x", "--verify takes no value"},
        {"change --mask 255.0.0.0", "give either --all or --devices"},
        {"change --all --devices 1 --mask 255.0.0.0", "give either --all or --devices"},
        {"change --all", "nothing to change"},
        {"change --all --mask 255.0.0.0 --edit-type keep4", "--edit-type goes with --ip"},
        {"change --all --ip 10.0.0.1 --edit-type keep5", "--edit-type is increase, keep4, keep34 or keep234"},
        {"change --devices 1,x --ip 10.0.0.1", "not 'x'"},
        {"change --devices 2147483648 --ip 10.0.0.1", "not '2147483648'"},
        {"change --all --gateway 10.0.0", "--gateway wants an address"},
        {"upgrade --all", "--file PATH is required"},
        {"upgrade --file fw.bin", "give either --all or --devices"},
        {"change --plan site.csv --all",
         "--plan names the devices and their settings: --all goes without it"},
        {"change --plan site.csv --ip 10.0.0.1", "--ip goes without it"},
        {"change --plan", "--plan needs a value"},
        {"change --all --mask 255.0.0.0 --check", "'--check' is not an option of change"},
        {"search --dry-run", "'--dry-run' is not an option of search"},
        {"upgrade --all --file fw.bin --plan p.csv", "'--plan' is not an option of upgrade"},
    };
    for (const Case& c : cases) {
        const Invocation in = Parse(c.line);
        EXPECT_NE(in.error.find(c.says), std::string::npos) << c.line << " -> " << in.error;
        EXPECT_FALSE(in.help);
    }
}

TEST(CliArguments, HelpForEachCommand) {
    for (const char* line : {"--help", "-h", "help", "help search", "search --help", "change --all -h",
                             "upgrade --bogus-later --help"}) {
        const Invocation in = Parse(line);
        if (std::string(line) == "upgrade --bogus-later --help") {
            EXPECT_FALSE(in.error.empty()) << "options are read in order";
            continue;
        }
        EXPECT_TRUE(in.help) << line;
        EXPECT_TRUE(in.error.empty()) << line;
    }
    EXPECT_EQ(Parse("help change").command, Command::Change);
    EXPECT_EQ(Parse("--help").command, Command::None);
    for (Command c : {Command::None, Command::Search, Command::Change, Command::Upgrade}) {
        const std::string text = HelpText(c);
        EXPECT_NE(text.find("usage: quillane-cli"), std::string::npos);
        if (c != Command::None) {
            EXPECT_NE(text.find("--range FIRST-LAST"), std::string::npos);
        }
    }
    EXPECT_NE(HelpText(Command::Upgrade).find("--verify"), std::string::npos);
    EXPECT_NE(HelpText(Command::Change).find("keep234"), std::string::npos);
}

TEST(CliArguments, DottedAddressesAreStrict) {
    EXPECT_EQ(ParseDottedAddress("0.0.0.0"), 0u);
    EXPECT_EQ(ParseDottedAddress("255.255.255.255"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseDottedAddress("192.168.001.010"), 0xC0A8010Au);
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "1.2.3.256", "1..2.3", "1.2.3.4 ", " 1.2.3.4",
                            "0x1.2.3.4", "1.2.3.-4", "1.2.3.1000", "a.b.c.d", "1.2.3.4."})
        EXPECT_FALSE(ParseDottedAddress(bad)) << bad;
}
