#include "arguments.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>
#include <set>

#include "model/device_types.h"
#include "model/settings.h"

namespace quillane::cli {
namespace {

// One option: the commands it belongs to and what it does with its value.
struct OptionSpec {
    std::set<Command> commands;
    bool takesValue;
    std::function<std::string(Invocation&, const std::string&)> apply;  // "" or an error
};

const std::set<Command> kAll = {Command::Search, Command::Change, Command::Upgrade};

template <class T>
std::optional<T> ParseInteger(const std::string& text) {
    T value{};
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || at != end) return std::nullopt;
    return value;
}

std::vector<std::string> SplitCommas(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) return parts;
        start = comma + 1;
    }
}

std::string ParseRange(Invocation& in, const std::string& value) {
    const size_t dash = value.find('-');
    const auto first = ParseDottedAddress(value.substr(0, dash));
    const auto last = dash == std::string::npos ? std::nullopt : ParseDottedAddress(value.substr(dash + 1));
    if (!first || !last) return "--range wants FIRST-LAST, two addresses such as 192.168.1.1-192.168.1.254";
    in.search.range = true;
    in.search.rangeFirst = *first;
    in.search.rangeLast = *last;
    return {};
}

std::string ParseTypes(Invocation& in, const std::string& value) {
    std::vector<int32_t> codes;
    for (const std::string& part : SplitCommas(value)) {
        const auto code = ParseInteger<int32_t>(part);
        if (!code || !FindDeviceType(*code)) {
            std::string known;
            for (const DeviceType& type : kDeviceTypes)
                known += (known.empty() ? "" : ",") + std::to_string(type.code);
            return "--types: '" + part + "' is not a device type code (" + known + ")";
        }
        if (std::find(codes.begin(), codes.end(), *code) == codes.end()) codes.push_back(*code);
    }
    in.search.types = codes;
    return {};
}

std::string ParseWait(Invocation& in, const std::string& value) {
    const auto ms = ParseInteger<uint32_t>(value);
    if (!ms || *ms > kLongestWaitMs)
        return "--wait wants milliseconds, 0 to " + std::to_string(kLongestWaitMs);
    in.search.waitMs = *ms;
    return {};
}

std::string ParseParallel(Invocation& in, const std::string& value) {
    const auto count = ParseInteger<int32_t>(value);
    if (!count || *count < 1 || *count > kMaxUpgradeParallel)
        return "--parallel wants how many devices at once, 1 to " + std::to_string(kMaxUpgradeParallel);
    in.upgrade.parallel = *count;
    return {};
}

std::string ParseMaxFailures(Invocation& in, const std::string& value) {
    const auto count = ParseInteger<int32_t>(value);
    if (!count || *count < 0) return "--max-failures wants a number of devices, 0 for no limit";
    in.upgrade.maxFailures = *count;
    return {};
}

std::string ParseFormat(Invocation& in, const std::string& value) {
    static const std::map<std::string, OutputFormat> formats = {
        {"table", OutputFormat::Table}, {"csv", OutputFormat::Csv}, {"json", OutputFormat::Json}};
    const auto it = formats.find(value);
    if (it == formats.end()) return "--format is table, csv or json";
    in.format = it->second;
    return {};
}

std::string ParseLanguage(Invocation& in, const std::string& value) {
    if (value == "en") {
        in.search.language = kEnglish;
    } else if (value == "zh") {
        in.search.language = kChinese;
    } else {
        return "--language is en or zh";
    }
    return {};
}

DeviceChoice& ChoiceOf(Invocation& in) {
    return in.command == Command::Change ? in.change.devices : in.upgrade.devices;
}

std::string ParseDevices(Invocation& in, const std::string& value) {
    std::vector<int32_t> numbers;
    for (const std::string& part : SplitCommas(value)) {
        const auto number = ParseInteger<int32_t>(part);
        if (!number) return "--devices wants device numbers separated by commas, not '" + part + "'";
        if (std::find(numbers.begin(), numbers.end(), *number) == numbers.end()) numbers.push_back(*number);
    }
    ChoiceOf(in).deviceNumbers = numbers;
    return {};
}

// A change value: the address, or the error naming the option.
std::function<std::string(Invocation&, const std::string&)> AddressInto(
    std::optional<uint32_t> ChangeOptions::*field, std::string option) {
    return [field, option](Invocation& in, const std::string& value) -> std::string {
        const auto address = ParseDottedAddress(value);
        if (!address) return option + " wants an address A.B.C.D, not '" + value + "'";
        in.change.*field = address;
        return {};
    };
}

std::string ParseEditType(Invocation& in, const std::string& value) {
    static const std::map<std::string, EditType> types = {{"increase", EditType::Increase},
                                                          {"keep4", EditType::Keep4},
                                                          {"keep34", EditType::Keep34},
                                                          {"keep234", EditType::Keep234}};
    const auto it = types.find(value);
    if (it == types.end()) return "--edit-type is increase, keep4, keep34 or keep234";
    in.change.editType = it->second;
    return {};
}

RunRecordOptions& RecordOf(Invocation& in) {
    return in.command == Command::Change ? in.change.record : in.upgrade.record;
}

// An option without a value that sets something.
std::function<std::string(Invocation&, const std::string&)> Flag(std::function<void(Invocation&)> set) {
    return [set = std::move(set)](Invocation& in, const std::string&) {
        set(in);
        return std::string();
    };
}

const std::map<std::string, OptionSpec>& Options() {
    static const std::map<std::string, OptionSpec> options = {
        {"--range", {kAll, true, ParseRange}},
        {"--types", {kAll, true, ParseTypes}},
        {"--wait", {kAll, true, ParseWait}},
        {"--language", {kAll, true, ParseLanguage}},
        {"--format", {kAll, true, ParseFormat}},
        {"--all",
         {{Command::Change, Command::Upgrade},
          false,
          [](Invocation& in, const std::string&) {
              ChoiceOf(in).all = true;
              return std::string();
          }}},
        {"--devices", {{Command::Change, Command::Upgrade}, true, ParseDevices}},
        {"--ip", {{Command::Change}, true, AddressInto(&ChangeOptions::ip, "--ip")}},
        {"--edit-type", {{Command::Change}, true, ParseEditType}},
        {"--mask", {{Command::Change}, true, AddressInto(&ChangeOptions::mask, "--mask")}},
        {"--gateway", {{Command::Change}, true, AddressInto(&ChangeOptions::gateway, "--gateway")}},
        {"--server", {{Command::Change}, true, AddressInto(&ChangeOptions::server, "--server")}},
        {"--standby", {{Command::Change}, true, AddressInto(&ChangeOptions::standby, "--standby")}},
        {"--file",
         {{Command::Upgrade},
          true,
          [](Invocation& in, const std::string& value) {
              if (value.empty()) return std::string("--file wants the path of the firmware file");
              in.upgrade.file = value;
              return std::string();
          }}},
        {"--check", {{Command::Search}, false, Flag([](Invocation& in) { in.check = true; })}},
        {"--plan",
         {{Command::Change},
          true,
          [](Invocation& in, const std::string& value) {
              if (value.empty()) return std::string("--plan wants the path of a CSV file");
              in.change.planFile = value;
              return std::string();
          }}},
        {"--dry-run", {{Command::Change, Command::Upgrade}, false, Flag([](Invocation& in) {
                           RecordOf(in).dryRun = true;
                       })}},
        {"--report",
         {{Command::Change, Command::Upgrade},
          true,
          [](Invocation& in, const std::string& value) {
              if (value.empty()) return std::string("--report wants the path of a file");
              RecordOf(in).report = value;
              return std::string();
          }}},
        {"--version",
         {{Command::Upgrade},
          true,
          [](Invocation& in, const std::string& value) {
              if (value.empty()) return std::string("--version wants the version as the table shows it");
              in.upgrade.version = value;
              return std::string();
          }}},
        {"--parallel", {{Command::Upgrade}, true, ParseParallel}},
        {"--max-failures", {{Command::Upgrade}, true, ParseMaxFailures}},
        {"--verify",
         {{Command::Upgrade},
          false,
          [](Invocation& in, const std::string&) {
              in.upgrade.verify = true;
              return std::string();
          }}},
    };
    return options;
}

// What a command needs beyond the form of each option.
std::string CheckComplete(const Invocation& in, const std::vector<std::string>& given) {
    const auto was = [&given](const char* option) {
        return std::find(given.begin(), given.end(), option) != given.end();
    };
    if (in.command != Command::Search && in.format == OutputFormat::Csv)
        return "--format is table or json for " + CommandName(in.command);
    const bool plan = was("--plan");
    if (plan) {
        for (const char* option :
             {"--all", "--devices", "--ip", "--edit-type", "--mask", "--gateway", "--server", "--standby"}) {
            if (was(option))
                return std::string("--plan names the devices and their settings: ") + option +
                       " goes without it";
        }
        return {};
    }
    if (in.command == Command::Change || in.command == Command::Upgrade) {
        const bool devices = was("--devices"), all = was("--all");
        if (devices == all) return "give either --all or --devices N[,N...]";
    }
    if (in.command == Command::Change) {
        const ChangeOptions& c = in.change;
        if (!c.ip && !c.mask && !c.gateway && !c.server && !c.standby)
            return "nothing to change: give --ip, --mask, --gateway, --server or --standby";
        if (was("--edit-type") && !c.ip) return "--edit-type goes with --ip";
    }
    if (in.command == Command::Upgrade && in.upgrade.file.empty()) return "--file PATH is required";
    return {};
}

}  // namespace

std::optional<uint32_t> ParseDottedAddress(const std::string& text) {
    uint32_t address = 0;
    size_t start = 0;
    for (int octet = 0; octet < 4; ++octet) {
        const size_t dot = octet < 3 ? text.find('.', start) : text.size();
        if (dot == std::string::npos) return std::nullopt;
        const std::string part = text.substr(start, dot - start);
        if (part.empty() || part.size() > 3) return std::nullopt;
        const auto value = ParseInteger<uint32_t>(part);
        if (!value || *value > 255) return std::nullopt;
        address = address << 8 | *value;
        start = dot + 1;
    }
    return address;
}

std::string CommandName(Command command) {
    switch (command) {
        case Command::Search:
            return "search";
        case Command::Change:
            return "change";
        case Command::Upgrade:
            return "upgrade";
        case Command::None:
            break;
    }
    return {};
}

Invocation ParseArguments(const std::vector<std::string>& args) {
    Invocation in;
    if (args.empty()) {
        in.error = "no command given";
        return in;
    }
    const std::string& first = args[0];
    if (first == "--help" || first == "-h" || first == "help") {
        in.help = true;
        for (Command c : kAll)
            if (args.size() > 1 && args[1] == CommandName(c)) in.command = c;
        return in;
    }
    for (Command c : kAll)
        if (first == CommandName(c)) in.command = c;
    if (in.command == Command::None) {
        in.error = "unknown command '" + first + "'";
        return in;
    }
    std::vector<std::string> given;
    for (size_t i = 1; i < args.size(); ++i) {
        std::string name = args[i], value;
        if (name == "--help" || name == "-h") {
            in.help = true;
            return in;
        }
        const size_t equals = name.find('=');
        const bool inlineValue = name.starts_with("--") && equals != std::string::npos;
        if (inlineValue) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        const auto it = Options().find(name);
        if (it == Options().end() || it->second.commands.count(in.command) == 0) {
            in.error = "'" + name + "' is not an option of " + CommandName(in.command);
            return in;
        }
        const OptionSpec& spec = it->second;
        if (spec.takesValue && !inlineValue) {
            if (i + 1 >= args.size()) {
                in.error = name + " needs a value";
                return in;
            }
            value = args[++i];
        } else if (!spec.takesValue && inlineValue) {
            in.error = name + " takes no value";
            return in;
        }
        in.error = spec.apply(in, value);
        if (!in.error.empty()) return in;
        given.push_back(name);
    }
    in.error = CheckComplete(in, given);
    return in;
}

}  // namespace quillane::cli
