#pragma once

// The command line of quillane-cli: one command, then its options. Parsing
// only checks the form of each option; what the station checks (a range whose
// start lies above its end, a choice of no device) it reports itself.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/language.h"
#include "runs/run_requests.h"

namespace quillane::cli {

enum class Command { None, Search, Change, Upgrade };
enum class OutputFormat { Table, Csv, Json };

// How an address change forms each device's new address, in the order of the
// IP settings dialog's edit-type list.
enum class EditType { Increase = 0, Keep4 = 1, Keep34 = 2, Keep234 = 3 };

inline constexpr uint32_t kDefaultWaitMs = 1500;
inline constexpr uint32_t kLongestWaitMs = 600000;

// What the search before every command needs.
struct SearchOptions {
    bool range = false;                         // false: multicast search
    uint32_t rangeFirst = 0, rangeLast = 0;     // number form
    std::optional<std::vector<int32_t>> types;  // device type codes listed; none given: every type
    uint32_t waitMs = kDefaultWaitMs;
    Language language = kEnglish;
};

// Which of the found devices a change or an upgrade applies to: the device
// numbers in the order given, without repeats.
using DeviceChoice = RowChoice;

// What a change or an upgrade does beside its run.
struct RunRecordOptions {
    bool dryRun = false;  // check and print what would be sent; send nothing
    std::string report;   // not empty: append one JSON line per device to this file
};

struct ChangeOptions {
    DeviceChoice devices;
    std::string planFile;        // not empty: the devices and their settings come from this CSV file
    std::optional<uint32_t> ip;  // number form; the first device's new address
    EditType editType = EditType::Increase;
    std::optional<uint32_t> mask, gateway, server, standby;
    RunRecordOptions record;
};

struct UpgradeOptions {
    DeviceChoice devices;
    std::string file;
    bool verify = false;
    std::string version;  // not empty: devices that report it are skipped (and checked for it with verify)
    int parallel = 1;     // --parallel: devices in their upgrade at once, 1 .. kMaxUpgradeParallel
    int maxFailures = 0;  // --max-failures: no new device once this many failed; 0: no limit
    RunRecordOptions record;
};

struct Invocation {
    Command command = Command::None;
    bool help = false;  // --help: print the command's help (or the general one) and stop
    std::string error;  // not empty: the arguments are unusable; says why
    SearchOptions search;
    OutputFormat format = OutputFormat::Table;
    bool check = false;  // search --check: point out trouble after the device list
    ChangeOptions change;
    UpgradeOptions upgrade;
};

// args: the arguments after the program name.
Invocation ParseArguments(const std::vector<std::string>& args);

// Help for a command; Command::None gives the overview.
std::string HelpText(Command command);
// "search", "change", "upgrade"; "" for none.
std::string CommandName(Command command);

// Four decimal octets 0..255 joined by dots, nothing else; number form.
std::optional<uint32_t> ParseDottedAddress(const std::string& text);

}  // namespace quillane::cli
