// The texts of --help.

#include "arguments.h"
#include "model/device_types.h"

namespace quillane::cli {
namespace {

constexpr const char* kOverview = R"(usage: quillane-cli COMMAND [OPTIONS]

Finds, readdresses and upgrades networked public-address devices without the window.

commands:
  search    lists the devices that answer a search
  change    changes the address settings of found devices
  upgrade   loads a firmware file into found devices, one after the other
  firewall  checks or allows the tool in Windows Defender Firewall (Windows)

'quillane-cli COMMAND --help' describes a command.

exit status: 0 all done, 1 bad arguments or the tool could not start,
3 some devices failed or were not found.
The tool reads and writes no settings file. During an upgrade the TFTP
server keeps its daily log in the 'log' folder beside the program, when that
folder exists (as the window's does).
)";

constexpr const char* kSearchOptions = R"(search options:
  --range FIRST-LAST   probe every address from FIRST to LAST instead of the
                       multicast search (e.g. 192.168.1.1-192.168.1.254)
  --types CODES        list only these device types, codes separated by commas
                       (devices that report no type are always listed):
)";

constexpr const char* kSearchOptionsAfterTypes =
    R"(  --wait MS            the search ends when no new device has answered for MS
                       milliseconds after the probes went out (default 1500)
  --language en|zh     texts of the device type and state columns (default en)
)";

// One line per device type of the catalogue: its code and its check box's caption.
std::string TypeCodeLines() {
    std::string lines;
    for (const DeviceType& type : kDeviceTypes) {
        const std::string code = std::to_string(type.code);
        lines +=
            std::string(23, ' ') + code + std::string(6 - code.size(), ' ') + type.caption.english + "\n";
    }
    return lines;
}

std::string SearchOptionsText() {
    return kSearchOptions + TypeCodeLines() + kSearchOptionsAfterTypes;
}

constexpr const char* kSearch = R"(usage: quillane-cli search [--range FIRST-LAST] [--types CODES] [--wait MS]
                         [--format table|csv|json] [--check] [--language en|zh]

Searches for devices as the window's Find does and prints one row per device
that answered, sorted by IP address: every column of the window's table.

  --format table|csv|json   output format (default table); csv has a header
                            line, json is an array of objects
  --check                   then list what looks wrong: devices sharing an IP
                            address, device numbers with equal low 16 bits
                            (the group form reaches both), devices outside
                            every local segment (group form only, no upgrade
                            from here), network/broadcast/multicast addresses;
                            after the table, or on standard error with csv;
                            with json one document instead: "devices" (device,
                            ip, mask, gateway, server, standby, type code or
                            null, version) and "findings" (kind, devices,
                            detail); exit status 3 when anything is found
)";

constexpr const char* kChange = R"(usage: quillane-cli change (--all | --devices N[,N...])
         [--ip A.B.C.D [--edit-type increase|keep4|keep34|keep234]]
         [--mask M] [--gateway G] [--server S] [--standby S]
         [--dry-run] [--report FILE] [--format table|json] [SEARCH OPTIONS]
       quillane-cli change --plan FILE [--dry-run] [--report FILE] [--format table|json]
         [SEARCH OPTIONS]

Searches, chooses the devices by their device number (or all that answered),
then sends them the new settings in one run as the window's Modify IP does and
waits for their answers. Prints one line per device with its result.

  --all                 every device found
  --devices N[,N...]    the devices with these device numbers
  --ip A.B.C.D          new address of the first chosen device; the others
                        follow by --edit-type:
                          increase  counting up from device to device (default)
                          keep4     each device keeps its fourth octet
                          keep34    each device keeps its third and fourth octet
                          keep234   each device keeps octets two to four
  --mask, --gateway, --server, --standby
                        the new mask, default gateway, server and standby
                        server address of every chosen device
  --plan FILE           the devices and their new settings from a CSV file
                        (UTF-8, comma or semicolon): a header line naming the
                        columns device, ip, mask, gateway, server, standby (or
                        those of search --format csv), one device per line; an
                        empty cell keeps that setting
  --dry-run             check everything and print what would be sent; send
                        nothing
  --report FILE         append one JSON line per device to FILE
  --format table|json   json: instead of the lines, one JSON document with
                        "results" (device, result, reason, address_before,
                        address_after, settings_before, settings_after) and a
                        "summary"; results are success, failure, refused,
                        not-found, unchanged and, with --dry-run, would-change
Settings not given are left as they are. No two devices are ever given one
address, nor a device the address of another device found: such a device is
refused (with --plan the whole plan is, and nothing is sent).
)";

constexpr const char* kUpgrade =
    R"(usage: quillane-cli upgrade --file PATH (--all | --devices N[,N...]) [--verify]
         [--version V] [--parallel N] [--max-failures K] [--dry-run]
         [--report FILE] [--format table|json]
         [SEARCH OPTIONS]

Searches, chooses the devices by their device number (or all that answered),
then upgrades them one after the other (or --parallel N at once) as the
window's Upgrade does: the device is told to load PATH, asks the built-in
boot responder (UDP port 67) for its address and reads the file from the
built-in TFTP server (port 69).
Progress goes to standard error; a summary line per device to standard output.
Ctrl+C (or SIGTERM, SIGHUP) during the run starts no further device and lets
those in flight finish, as the window's Stop does; a second one ends the tool
at once.
Ports 67 and 69 need root or the CAP_NET_BIND_SERVICE capability.

  --file PATH           the firmware file (.bin)
  --all                 every device found
  --devices N[,N...]    the devices with these device numbers
  --verify              search again after the run and print each device's
                        version before and after; a device whose version did
                        not change counts as failed
  --version V           the version the file brings, as the table shows it:
                        devices that report it already are skipped, and with
                        --verify a device that does not report it afterwards
                        counts as failed
  --parallel N          upgrade up to N devices at once (1 to 32, default 1);
                        each boot request is answered with the asking
                        device's own address, requests from other hardware
                        addresses go unanswered
  --max-failures K      once K devices have failed, start no further device;
                        the rest are reported not-started (0: no limit)
  --dry-run             check everything (the file, the ports, each device's
                        segment) and print the order, the file, its size and
                        SHA-256; send nothing
  --report FILE         append one JSON line per device to FILE (the file's
                        name, size and SHA-256, times, versions, the result)
  --format table|json   json: instead of the lines, one JSON document with
                        "firmware" (name, size, sha256), "results" (device,
                        result, reason, address_before, address_after,
                        version_before, version_after) and a "summary";
                        results are upgraded, failed, not-started, skipped,
                        not-found and, with --dry-run, would-upgrade
)";

}  // namespace

std::string HelpText(Command command) {
    switch (command) {
        case Command::Search:
            return std::string(kSearch) + "\n" + SearchOptionsText();
        case Command::Change:
            return std::string(kChange) + "\n" + SearchOptionsText();
        case Command::Upgrade:
            return std::string(kUpgrade) + "\n" + SearchOptionsText();
        case Command::None:
            break;
    }
    return kOverview;
}

}  // namespace quillane::cli
