// devsim: a fleet of simulated public-address devices for the lab.

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "device_config.h"
#include "event_log.h"
#include "fleet_simulator.h"

namespace {

const char kHelp[] =
    R"(usage: devsim --count N [--seed S] [--first-ip A.B.C.D] [--mask M] [--types LIST] [options]
       devsim --fleet FILE [options]

Plays a fleet of public-address devices in one process: they answer searches
(224.0.2.0:25000 and their own address, port 25000), take address changes and,
on the upgrade command, fetch their firmware by BOOTP + TFTP. Every device
address must already exist on an interface of this network namespace (use
tools/lab/lab); devsim never changes the network. Runs until SIGINT/SIGTERM.

Fleet:
  --count N           generate N devices (at most 65535), deterministic for a seed
  --seed S            seed of the generated fleet and of datagram loss (default 1)
  --first-ip A.B.C.D  address of the first generated device; the others follow
                      one by one (default 10.77.1.1)
  --mask M            mask of the generated devices (default 255.255.0.0)
  --gateway G         their gateway (default: first host of the network)
  --server S          their server address (default: first host of the network)
  --standby S         their standby server address (default 0.0.0.0)
  --types LIST        type codes to draw from, comma separated; "none" stands
                      for devices without a type (52-byte search reply).
                      Default: all eleven known codes plus "none"
  --fleet FILE        read the fleet from FILE instead (format below)
  --print-fleet       print the fleet in the fleet-file format and exit

Behaviour (all devices; fleet-file keys override per device):
  --result short|full     form of the change result (default full)
  --tftp OPTIONS          TFTP options asked for: "none" (default) or a comma
                          list of blksize[=N] (N 8..65464, default 1024), tsize,
                          timeout[=S] (S 1..255, default 2)
  --new-version V         version reported after a successful upgrade
                          (Y.M.D.N, default: the old version plus one)
  --unicast-replies       answer to the sender's address, port 25005, instead
                          of the group 224.0.3.0
  --reply-jitter MS       every reply leaves 0..MS milliseconds late, drawn per
                          device from the seed, as real units spread their
                          answers to a group search (default 0)
  --faults LIST           faults of every device, comma separated:
      silent              never answers anything
      search-delay=MS     search replies leave MS milliseconds late
      change-delay=MS     change results leave MS milliseconds late
      ignore-upgrade      does nothing on the upgrade command
      ignore-change       neither takes nor answers address changes (logged)
      no-boot             takes the upgrade command, never sends a boot request
      boot-delay=MS       restarts late: its first boot request leaves MS
                          milliseconds after the upgrade command
      flash-delay=MS      writes each data block MS milliseconds (at most
                          10000) before acknowledging it: a device-like pace
      keep-version        loads the whole image, then keeps reporting its old
                          version (a load that did not take)
      stall-after=K       acknowledges K data blocks, then falls silent
      abort-after=K       acknowledges K data blocks, then answers the next
                          one with a TFTP error packet and gives up
      drop=P              loses the share P (0..1) of datagrams in each
                          direction, reproducibly for a seed
      bad-checksum-silent no answer to an address change with a wrong
                          checksum (default: a failure result)
  --faults-on SEL:LIST    faults of some devices only; SEL is a device number
                          or #K for the K-th device (from 1). Repeatable.

Output:
  --log FILE          event log (JSON lines) to FILE (default: standard output)
  --ready-file FILE   write "ready" to FILE once listening
  A line {"event":"ready",...} goes to standard output once listening.

Fleet file: one device per line, '#' starts a comment, words key=value:
  number=N (required, signed 32-bit, unique)  ip=A.B.C.D (required)
  type=CODE|none  version=Y.M.D.N  mask=M  gateway=G  server=S  standby=S
  mac=02:51:0a:4d:01:01  result=short|full  tftp=OPTIONS  faults=LIST
Any type code is accepted, also ones the tool does not know.
Keys not given take the command-line values above (version 2015.6.12.5,
mask 255.255.0.0, gateway/server 0.0.0.0 unless given, mac from the address).

Event log lines: {"t":ms,"dev":number,"dir":"in"|"out","kind":...,"code":...,
"len":...,"peer":"a.b.c.d:port",...key fields} for every datagram, and
{"dev":...,"event":...} for what devices do (upgrade-start, boot-delayed,
upgrade-done with bytes, blocks, sha256 and ms, upgrade-failed, version-changed,
address-not-local, tftp-stalled...). Dropped datagrams carry "dropped":true,
unanswered ones "ignored":"why". A group-form address change is logged by the
devices whose number it matches (one line without "dev" when none does); a
datagram for everyone that no device understands is logged once.
)";

struct FaultTarget {
    std::string selector;
    std::string faults;
};

bool Fail(const std::string& message) {
    std::cerr << "devsim: " << message << "\n";
    return false;
}

bool ParseTypes(const std::string& text, std::vector<std::optional<int32_t>>& types) {
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = text.find(',', start);
        const std::string item =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item == "none") {
            types.emplace_back(std::nullopt);
        } else {
            char* end = nullptr;
            const long value = std::strtol(item.c_str(), &end, 10);
            if (item.empty() || *end != '\0') return false;
            types.emplace_back(static_cast<int32_t>(value));
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return !types.empty();
}

bool ApplyFaultTargets(const std::vector<FaultTarget>& targets, std::vector<devsim::DeviceConfig>& fleet) {
    for (const auto& target : targets) {
        bool matched = false;
        for (size_t i = 0; i < fleet.size(); ++i) {
            const bool hit = target.selector[0] == '#' ? target.selector == "#" + std::to_string(i + 1)
                                                       : target.selector == std::to_string(fleet[i].number);
            if (!hit) continue;
            std::string error;
            if (!devsim::ApplyFaults(target.faults, fleet[i].faults, error)) return Fail(error);
            matched = true;
        }
        if (!matched) return Fail("--faults-on " + target.selector + ": no such device");
    }
    return true;
}

void PrintFleet(const std::vector<devsim::DeviceConfig>& fleet) {
    using namespace devsim;
    for (const auto& d : fleet) {
        std::printf(
            "number=%d type=%s version=%s ip=%s mask=%s gateway=%s server=%s standby=%s mac=%s result=%s "
            "tftp=%s\n",
            d.number, d.typeCode ? std::to_string(*d.typeCode).c_str() : "none",
            FormatVersion(d.version).c_str(), FormatAddress(d.ip).c_str(), FormatAddress(d.mask).c_str(),
            FormatAddress(d.gateway).c_str(), FormatAddress(d.server).c_str(),
            FormatAddress(d.standby).c_str(), FormatMac(d.mac).c_str(),
            d.resultForm == ResultForm::Short ? "short" : "full", FormatTftpOptions(d.tftp).c_str());
    }
}

int StopSignalFd() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    // Blocked before any thread starts, so every thread inherits the mask and
    // the signals only ever arrive through the descriptor.
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signalfd(-1, &signals, SFD_CLOEXEC);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace devsim;
    std::vector<std::string> args(argv + 1, argv + argc);
    GeneratorSettings generator;
    ParseAddress("10.77.1.1", generator.firstIp);
    DeviceConfig defaults;
    ParseVersion("2015.6.12.5", defaults.version);
    defaults.mask = 0xFFFF0000u;
    SimulatorOptions options;
    std::string fleetPath, logPath, readyFile;
    std::string faults;
    std::vector<FaultTarget> faultTargets;
    bool printFleet = false, haveCount = false;

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return Fail(arg + " needs a value");
            out = args[++i];
            return true;
        };
        auto address = [&](uint32_t& out) {
            std::string text;
            return value(text) && (ParseAddress(text, out) || Fail(arg + ": not an address: " + text));
        };
        std::string text;
        uint32_t number = 0;
        bool ok = true;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (arg == "--count") {
            ok = value(text);
            char* end = nullptr;
            const unsigned long count = ok ? std::strtoul(text.c_str(), &end, 10) : 0;
            ok = ok && ((!text.empty() && *end == '\0' && count >= 1 && count <= 65535) ||
                        Fail("--count wants 1..65535"));
            generator.count = static_cast<uint32_t>(count);
            haveCount = true;
        } else if (arg == "--seed") {
            ok = value(text);
            char* end = nullptr;
            generator.seed = ok ? std::strtoull(text.c_str(), &end, 10) : 0;
            ok = ok && ((!text.empty() && *end == '\0') || Fail("--seed wants a number"));
            options.seed = generator.seed;
        } else if (arg == "--first-ip")
            ok = address(generator.firstIp);
        else if (arg == "--mask") {
            ok = address(generator.mask);
            defaults.mask = generator.mask;
        } else if (arg == "--gateway") {
            ok = address(number);
            generator.gateway = number;
            defaults.gateway = number;
        } else if (arg == "--server") {
            ok = address(number);
            generator.server = number;
            defaults.server = number;
        } else if (arg == "--standby") {
            ok = address(generator.standby);
            defaults.standby = generator.standby;
        } else if (arg == "--types")
            ok = value(text) && (ParseTypes(text, generator.types) || Fail("bad --types " + text));
        else if (arg == "--fleet")
            ok = value(fleetPath);
        else if (arg == "--print-fleet")
            printFleet = true;
        else if (arg == "--result") {
            ok = value(text) && ((text == "short" || text == "full") || Fail("--result is short or full"));
            defaults.resultForm = text == "short" ? ResultForm::Short : ResultForm::Full;
        } else if (arg == "--tftp")
            ok = value(text) && (ParseTftpOptions(text, defaults.tftp) || Fail("bad --tftp " + text));
        else if (arg == "--new-version") {
            std::array<uint8_t, 4> version{};
            ok = value(text) && (ParseVersion(text, version) || Fail("bad --new-version " + text));
            options.newVersion = version;
        } else if (arg == "--unicast-replies")
            options.unicastReplies = true;
        else if (arg == "--reply-jitter") {
            ok = value(text);
            char* end = nullptr;
            const unsigned long jitter = ok ? std::strtoul(text.c_str(), &end, 10) : 0;
            ok = ok && ((!text.empty() && *end == '\0' && jitter <= 60000) ||
                        Fail("--reply-jitter wants 0..60000 ms"));
            options.replyJitterMs = static_cast<uint32_t>(jitter);
        } else if (arg == "--faults") {
            std::string error;
            ok = value(faults) && (ApplyFaults(faults, defaults.faults, error) || Fail(error));
        } else if (arg == "--faults-on") {
            ok = value(text);
            const auto colon = text.find(':');
            ok = ok && ((colon != std::string::npos && colon > 0) || Fail("--faults-on wants SEL:LIST"));
            if (ok) faultTargets.push_back({text.substr(0, colon), text.substr(colon + 1)});
        } else if (arg == "--log")
            ok = value(logPath);
        else if (arg == "--ready-file")
            ok = value(readyFile);
        else
            ok = Fail("unknown option " + arg + " (see --help)");
        if (!ok) return 2;
    }
    if (haveCount == !fleetPath.empty()) {
        Fail("give either --count N or --fleet FILE (see --help)");
        return 2;
    }

    std::vector<DeviceConfig> fleet;
    if (haveCount) {
        fleet = GenerateFleet(generator, defaults);
    } else {
        std::string error;
        if (!LoadFleetFile(fleetPath, defaults, fleet, error)) {
            Fail(error);
            return 2;
        }
    }
    if (!ApplyFaultTargets(faultTargets, fleet)) return 2;
    if (printFleet) {
        PrintFleet(fleet);
        return 0;
    }

    const int stopFd = StopSignalFd();
    if (stopFd < 0) {
        Fail("cannot watch for SIGINT/SIGTERM");
        return 1;
    }
    EventLog log;
    if (!log.Open(logPath)) {
        Fail("cannot write the log " + logPath);
        return 1;
    }
    FleetSimulator simulator(fleet, options, log);
    std::string error;
    if (!simulator.Start(error)) {
        Fail(error);
        return 1;
    }
    LogLine ready;
    ready.Add("event", "ready").Add("devices", static_cast<uint64_t>(fleet.size()));
    log.Write(ready);
    log.Flush();
    if (!logPath.empty() && logPath != "-") {
        std::printf("{\"event\":\"ready\",\"devices\":%zu}\n", fleet.size());
        std::fflush(stdout);
    }
    if (!readyFile.empty()) std::ofstream(readyFile) << "ready\n";
    simulator.Run(stopFd);
    ::close(stopFd);
    return 0;
}
