#include <chrono>
#include <filesystem>
#include <map>
#include <ostream>

#include "cli_station.h"
#include "commands.h"
#include "device_report.h"
#include "model/texts.h"
#include "results_document.h"
#include "run_report.h"
#include "runs/upgrade_preflight.h"
#include "runs/upgrade_reach.h"
#include "support/file_status.h"
#include "support/sha256.h"
#include "support/stop_signals.h"
#include "support/utf8_files.h"
#include "upgrade_progress.h"
#include "verdicts.h"

namespace quillane::cli {
namespace {

using namespace std::chrono_literals;
// How long the wait for the run's news goes before the stop signals are looked at.
constexpr auto kStopSignalCheck = 100ms;
// Devices restart after loading their firmware: the check searches again
// until every one of them answered, for this long at most.
constexpr auto kVerifyWait = 60s;

struct Device {
    int row;
    DeviceRow before;
    int32_t number;
};

std::string Label(const DeviceRow& row) {
    return "device " + row[kColDeviceNo] + "  " + row[kColIP];
}

// When each device's part of the run began and ended: its first and last State change.
class DeviceTimes {
public:
    using Time = std::chrono::system_clock::time_point;
    void Saw(int row) {
        const Time now = std::chrono::system_clock::now();
        m_times.try_emplace(row, now, now).first->second.second = now;
    }
    std::pair<Time, Time> Of(int row) const {
        const auto it = m_times.find(row);
        return it == m_times.end() ? std::pair<Time, Time>{} : it->second;
    }

private:
    std::map<int, std::pair<Time, Time>> m_times;
};

// Until the station says the run ended, showing each device's progress.
void FollowTheRun(CliStation& cli, int endedBefore, UpgradeProgress& progress, DeviceTimes& times,
                  std::ostream& err, const TextTable& texts) {
    Station& station = cli.station();
    StationWatch& watch = cli.watch();
    bool stopAsked = false;
    while (true) {
        for (const auto& change : watch.TakeStateChanges()) {
            progress.StateChanged(change.row, change.state);
            times.Saw(change.row);
        }
        if (watch.Ended(RunKind::kUpgrade) > endedBefore) break;
        // A stop signal (Ctrl+C, SIGTERM, SIGHUP) presses Stop: the run ends
        // after the current device rather than leaving it half loaded. A
        // second one ends the tool.
        if (!stopAsked && TakeStopSignal() != 0) {
            stopAsked = true;
            station.StopRun();
            progress.Finish();
            err << "quillane-cli: " << texts.msgStopPending
                << " (a second stop signal ends the tool at once)\n";
        }
        watch.WaitForNews(kStopSignalCheck);
    }
    for (const auto& change : watch.TakeStateChanges()) {
        progress.StateChanged(change.row, change.state);
        times.Saw(change.row);
    }
    progress.Finish();
}

// The order a run would take the chosen devices in, and the file: what a dry run prints.
int PrintUpgradeDryRun(Station& station, const std::vector<Device>& devices, const std::string& file,
                       const FileDigest& digest, std::ostream& out, ResultsDocument& document) {
    out << "file " << file << "  " << digest.size << " bytes  sha256 " << digest.sha256 << "\n";
    station.RefreshLocalAddresses();
    const std::shared_ptr<const LocalAddressLists> local = station.LocalAddresses();
    int order = 0, refused = 0;
    for (const Device& device : devices) {
        out << Label(device.before) << "  ";
        ResultEntry entry;
        entry.device = device.number;
        entry.result = "would-upgrade";
        entry.addressBefore = device.before[kColIP];
        entry.versionBefore = device.before[kColVersion];
        if (!UpgradeReachesRow(station.m_DeviceList, device.row, *local)) {
            ++refused;
            out << "refused: no address of this workstation lies in its subnet\n";
            entry.result = "failed";
            entry.reason = "refused: no address of this workstation lies in its subnet";
        } else {
            out << "upgrade " << ++order << "\n";
        }
        document.Add(std::move(entry));
    }
    return refused;
}

DeviceRecord UpgradeRecord(const Device& device, std::pair<DeviceTimes::Time, DeviceTimes::Time> when,
                           const FileDigest& digest, const std::string& file, const std::string& verdict,
                           const std::optional<std::string>& versionAfter, bool notStarted) {
    DeviceRecord record;
    record.command = "upgrade";
    record.started = when.first;
    record.ended = when.second;
    record.device = ReadDecimal(device.before[kColDeviceNo]);
    record.addressBefore = device.before[kColIP];
    record.versionBefore = device.before[kColVersion];
    if (versionAfter) {
        record.addressAfter = record.addressBefore;
        record.versionAfter = *versionAfter;
    }
    record.firmware = FirmwareFacts{Utf8FromPath(PathFromUtf8(file).filename()), digest.size, digest.sha256};
    record.result = verdict.empty() ? "success" : "failure";
    if (notStarted) record.result = "not-started";
    record.reason = verdict;
    return record;
}

DeviceRecord NotFoundRecord(int32_t device, const std::string& file, const FileDigest& digest) {
    DeviceRecord record;
    record.command = "upgrade";
    record.started = record.ended = std::chrono::system_clock::now();
    record.device = device;
    record.firmware = FirmwareFacts{Utf8FromPath(PathFromUtf8(file).filename()), digest.size, digest.sha256};
    record.result = "not-found";
    record.reason = "the search did not find the device";
    return record;
}

// The versions the chosen devices report when searched for again.
std::map<int32_t, std::string> VersionsAfter(CliStation& cli, const std::vector<Device>& devices,
                                             std::ostream& err) {
    std::map<int32_t, std::string> versions;
    const auto end = std::chrono::steady_clock::now() + kVerifyWait;
    do {
        std::string error;
        if (!cli.Search(error)) {
            err << "quillane-cli: " << error << "\n";
            break;
        }
        const DeviceTable& table = cli.station().m_DeviceList;
        for (const Device& device : devices) {
            const int row = table.FindRowByDeviceNumber(device.number);
            if (row >= 0) versions[device.number] = table.Cell(row, kColVersion);
        }
    } while (versions.size() < devices.size() && std::chrono::steady_clock::now() < end &&
             TakeStopSignal() == 0);
    return versions;
}

struct SkippedDevices {
    DeviceChoice choice;             // what is left to upgrade
    std::vector<DeviceRow> skipped;  // rows of the devices at the wanted version already
};

// Without a wanted version nothing is skipped. Devices asked for that the
// search did not find stay in the choice, so that they are reported.
SkippedDevices SkipDevicesAt(const Station& station, const UpgradeOptions& upgrade) {
    SkippedDevices result{upgrade.devices, {}};
    if (upgrade.version.empty()) return result;
    const DeviceTable& table = station.m_DeviceList;
    std::vector<int32_t> asked = upgrade.devices.deviceNumbers;
    if (upgrade.devices.all) {
        asked.clear();
        for (int row = 0; row < table.RowCount(); ++row) asked.push_back(table.RowDeviceNumber(row));
    }
    result.choice = {};
    for (int32_t number : asked) {
        const int row = table.FindRowByDeviceNumber(number);
        if (row >= 0 && table.Cell(row, kColVersion) == upgrade.version)
            result.skipped.push_back(table.Row(row));
        else
            result.choice.deviceNumbers.push_back(number);
    }
    return result;
}

DeviceRecord SkippedRecord(const DeviceRow& row, const std::string& file, const FileDigest& digest,
                           const std::string& version) {
    DeviceRecord record = NotFoundRecord(ReadDecimal(row[kColDeviceNo]), file, digest);
    record.addressBefore = record.addressAfter = row[kColIP];
    record.versionBefore = record.versionAfter = row[kColVersion];
    record.result = "unchanged";
    record.reason = "version " + version + " already";
    return record;
}

// The verdict after the search that follows the run: the version must have
// changed, and to `wanted` when one was given.
std::string VersionVerdict(const std::string& verdict, const std::string* after, const std::string& before,
                           const std::string& wanted) {
    if (!verdict.empty()) return verdict;
    if (!after) return "failed: not found after the upgrade";
    if (!wanted.empty() && *after != wanted) return "failed: the version is " + *after + ", not " + wanted;
    if (*after == before) return "failed: the version did not change";
    return {};
}

}  // namespace

int RunUpgradeCommand(const Invocation& invocation, std::ostream& stdOut, std::ostream& err) {
    ResultsDocument document("upgrade", invocation, stdOut);
    std::ostream& out = document.Text();
    const TextTable& texts = Texts(invocation.search.language);
    // The boot reply names the file to the device: it must not depend on this
    // tool's working folder.
    const std::string file = Utf8FromPath(std::filesystem::absolute(PathFromUtf8(invocation.upgrade.file)));
    if (!IsExistingFile(file)) {
        err << "quillane-cli: " << texts.msgUpgradeFileMissing << ": " << file << "\n";
        return kExitUnusable;
    }
    const RunRecordOptions& record = invocation.upgrade.record;
    CliStation cli(invocation.search, Services::WithFirmware);
    Station& station = cli.station();
    std::string error;
    if (!cli.Start(error)) {
        err << "quillane-cli: " << error << "\n";
        return kExitUnusable;
    }
    // What the Upgrade button checks before any device is touched.
    const UpgradePreflightProblem problem = CheckUpgradePreflight(GatherUpgradePreflight(station, file));
    if (problem.kind != UpgradePreflightProblem::Kind::kNone) {
        err << "quillane-cli: " << DescribePreflightProblem(problem, kEnglish) << "\n";
        return kExitUnusable;
    }
    const std::optional<FileDigest> digest =
        record.dryRun || !record.report.empty() || document.Wanted() ? DigestFile(file) : FileDigest{};
    if (!digest) {
        err << "quillane-cli: cannot read " << file << "\n";
        return kExitUnusable;
    }
    if (!cli.Search(error)) {
        err << "quillane-cli: " << error << "\n";
        return kExitUnusable;
    }
    document.Firmware({Utf8FromPath(PathFromUtf8(file).filename()), digest->size, digest->sha256});
    RunReport report(record.report);
    const auto add = [&report, &document](const DeviceRecord& r) {
        report.Add(r);
        document.Add(r);
    };
    // Devices that report the wanted version already are left alone.
    const SkippedDevices skipping = SkipDevicesAt(station, invocation.upgrade);
    for (const DeviceRow& row : skipping.skipped) {
        out << Label(row) << "  skipped: version " << row[kColVersion] << " already\n";
        add(SkippedRecord(row, file, *digest, invocation.upgrade.version));
    }
    const ChosenDevices chosen = cli.Choose(skipping.choice);
    if (chosen.chosen.empty()) {
        const bool allSkipped = chosen.missing.empty() && !skipping.skipped.empty();
        const int code = allSkipped ? kExitDone : ReportNothingChosen(chosen, out, err);
        for (int32_t device : chosen.missing) add(NotFoundRecord(device, file, *digest));
        return report.Write(err) ? document.Finish(code) : kExitUnusable;
    }
    std::vector<Device> devices;
    std::map<int, std::string> labels;
    for (int row : cli.ChosenRows()) {
        devices.push_back({row, station.m_DeviceList.Row(row), station.m_DeviceList.RowDeviceNumber(row)});
        labels[row] = Label(devices.back().before);
    }
    if (record.dryRun) {
        const int refused =
            PrintUpgradeDryRun(station, devices, file, *digest, out, document) + ReportMissing(chosen, out);
        out << std::flush;
        for (int32_t device : chosen.missing) document.Add(NotFoundRecord(device, file, *digest));
        return document.Finish(refused == 0 ? kExitDone : kExitSomeFailed);
    }

    UpgradeProgress progress(err, labels, StandardErrorIsTerminal());
    StationWatch& watch = cli.watch();
    watch.KeepStateChanges(true);
    InstallStopSignals();
    const int started = watch.Started(RunKind::kUpgrade);
    const int ended = watch.Ended(RunKind::kUpgrade);
    station.Upgrade(UpgradeRequest{file, false, invocation.upgrade.parallel, invocation.upgrade.maxFailures});
    for (const auto& message : cli.view().TakeMessages()) err << "quillane-cli: " << message.text << "\n";
    DeviceTimes times;
    if (watch.Started(RunKind::kUpgrade) != started) FollowTheRun(cli, ended, progress, times, err, texts);
    watch.KeepStateChanges(false);
    for (const auto& change : watch.TakeStateChanges()) progress.StateChanged(change.row, change.state);
    progress.Finish();

    std::map<int, std::string> verdicts;
    for (const Device& device : devices)
        verdicts[device.row] = UpgradeVerdict(station.m_DeviceList.RowStateOf(device.row));
    const std::map<int32_t, std::string> after =
        invocation.upgrade.verify ? VersionsAfter(cli, devices, err) : std::map<int32_t, std::string>{};

    int failed = 0;
    for (const Device& device : devices) {
        std::string verdict = verdicts[device.row];
        std::string line = Label(device.before) + "  ";
        if (invocation.upgrade.verify) {
            const auto version = after.find(device.number);
            line += "version " + device.before[kColVersion] + " -> " +
                    (version == after.end() ? std::string("?") : version->second) + "  ";
            verdict = VersionVerdict(verdict, version == after.end() ? nullptr : &version->second,
                                     device.before[kColVersion], invocation.upgrade.version);
        }
        failed += verdict.empty() ? 0 : 1;
        out << line << (verdict.empty() ? "upgraded" : verdict) << "\n";
        std::optional<std::string> versionAfter;
        if (const auto version = after.find(device.number); version != after.end())
            versionAfter = version->second;
        const bool notStarted = station.m_DeviceList.RowStateOf(device.row).status == RowStatus::kNotStarted;
        add(UpgradeRecord(device, times.Of(device.row), *digest, file, verdict, versionAfter, notStarted));
    }
    failed += ReportMissing(chosen, out);
    for (int32_t device : chosen.missing) add(NotFoundRecord(device, file, *digest));
    out << std::flush;
    if (!report.Write(err)) return kExitUnusable;
    return document.Finish(failed == 0 ? kExitDone : kExitSomeFailed);
}

}  // namespace quillane::cli
