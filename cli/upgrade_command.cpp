#include <chrono>
#include <filesystem>
#include <map>
#include <ostream>

#include "cli_station.h"
#include "commands.h"
#include "device_report.h"
#include "model/texts.h"
#include "support/file_status.h"
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

// Until the station says the run ended, showing each device's progress.
void FollowTheRun(CliStation& cli, int endedBefore, UpgradeProgress& progress, std::ostream& err,
                  const TextTable& texts) {
    Station& station = cli.station();
    StationWatch& watch = cli.watch();
    bool stopAsked = false;
    while (true) {
        for (const auto& change : watch.TakeStateChanges()) progress.StateChanged(change.row, change.state);
        if (watch.Ended(RunKind::kUpgrade) > endedBefore) break;
        // A stop signal (Ctrl+C, SIGTERM, SIGHUP) presses Stop: the run ends
        // after the current device rather than leaving it half loaded. A
        // second one ends the tool.
        if (!stopAsked && TakeStopSignal() != 0) {
            stopAsked = true;
            station.OnUpgrade();
            progress.Finish();
            err << "quillane-cli: " << texts.msgStopPending
                << " (a second stop signal ends the tool at once)\n";
        }
        watch.WaitForNews(kStopSignalCheck);
    }
    for (const auto& change : watch.TakeStateChanges()) progress.StateChanged(change.row, change.state);
    progress.Finish();
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

}  // namespace

int RunUpgradeCommand(const Invocation& invocation, std::ostream& out, std::ostream& err) {
    const TextTable& texts = Texts(invocation.search.language);
    // The boot reply names the file to the device: it must not depend on this
    // tool's working folder.
    const std::string file = Utf8FromPath(std::filesystem::absolute(PathFromUtf8(invocation.upgrade.file)));
    if (!IsExistingFile(file)) {
        err << "quillane-cli: " << texts.msgUpgradeFileMissing << ": " << file << "\n";
        return kExitUnusable;
    }
    CliStation cli(invocation.search, Services::WithFirmware);
    int exitCode = kExitDone;
    const std::optional<ChosenDevices> chosen =
        StartSearchAndChoose(cli, invocation.upgrade.devices, out, err, exitCode);
    if (!chosen) return exitCode;

    Station& station = cli.station();
    std::vector<Device> devices;
    std::map<int, std::string> labels;
    for (int row : cli.ChosenRows()) {
        devices.push_back({row, station.m_DeviceList.Row(row), station.m_DeviceList.RowDeviceNumber(row)});
        labels[row] = Label(devices.back().before);
    }
    cli.view().AnswerFileDialogWith(file);
    station.OnOpen();  // the window's Open: the file the boot responder and the TFTP server hand out

    UpgradeProgress progress(err, labels, StandardErrorIsTerminal());
    StationWatch& watch = cli.watch();
    watch.KeepStateChanges(true);
    InstallStopSignals();
    const int started = watch.Started(RunKind::kUpgrade);
    const int ended = watch.Ended(RunKind::kUpgrade);
    station.OnUpgrade();
    for (const auto& message : cli.view().TakeMessages()) err << "quillane-cli: " << message.text << "\n";
    if (watch.Started(RunKind::kUpgrade) != started) FollowTheRun(cli, ended, progress, err, texts);
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
            if (verdict.empty() && version == after.end()) verdict = "failed: not found after the upgrade";
            if (verdict.empty() && version->second == device.before[kColVersion])
                verdict = "failed: the version did not change";
        }
        failed += verdict.empty() ? 0 : 1;
        out << line << (verdict.empty() ? "upgraded" : verdict) << "\n";
    }
    failed += ReportMissing(*chosen, out);
    out << std::flush;
    return failed == 0 ? kExitDone : kExitSomeFailed;
}

}  // namespace quillane::cli
