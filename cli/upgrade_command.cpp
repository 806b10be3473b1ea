#include <chrono>
#include <filesystem>
#include <map>
#include <ostream>
#include <thread>

#include "cli_station.h"
#include "commands.h"
#include "device_report.h"
#include "model/texts.h"
#include "support/file_status.h"
#include "support/stop_signals.h"
#include "support/utf8_files.h"
#include "upgrade_progress.h"

namespace quillane::cli {
namespace {

using namespace std::chrono_literals;
constexpr auto kPoll = 50ms;
// Devices restart after loading their firmware: the check searches again
// until every one of them answered, for this long at most.
constexpr auto kVerifyWait = 60s;

struct Device {
    int row;
    DeviceRow before;
};

std::string Label(const DeviceRow& row) {
    return "device " + row[kColDeviceNo] + "  " + row[kColIP];
}

// What the run left in the device's State cell, as a verdict; empty when it loaded the whole file.
std::string TransferVerdict(const std::string& state, const TextTable& texts) {
    if (StatePercent(state) == 100) return {};
    if (state == texts.stateNoSegment) return "failed: no address of this workstation lies in its subnet";
    if (state.empty()) return "not upgraded: the run was stopped before this device";
    if (state == texts.stateUpgradeFailed) return "failed: the device did not load the file";
    return "failed: the transfer did not finish (" + state + ")";
}

void FollowTheRun(CliStation& cli, UpgradeProgress& progress, std::ostream& err, const TextTable& texts) {
    Station& station = cli.station();
    bool stopAsked = false;
    while (true) {
        for (const auto& change : cli.watch().TakeStateChanges())
            progress.StateChanged(change.row, change.text);
        if (station.m_bUpgrading.load() == 0 && station.m_bUpgradeContinue.load() == 0) break;
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
        std::this_thread::sleep_for(kPoll);
    }
    for (const auto& change : cli.watch().TakeStateChanges()) progress.StateChanged(change.row, change.text);
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
            const int32_t number = ReadDecimal(device.before[kColDeviceNo]);
            const int row = table.FindRowByDeviceNumber(number);
            if (row >= 0) versions[number] = table.Cell(row, kColVersion);
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
    std::string error;
    if (!cli.Start(error) || !cli.Search(error)) {
        err << "quillane-cli: " << error << "\n";
        return kExitUnusable;
    }
    const ChosenDevices chosen = cli.Choose(invocation.upgrade.devices);
    if (chosen.chosen.empty()) return ReportNothingChosen(chosen, out, err);

    Station& station = cli.station();
    std::vector<Device> devices;
    std::map<int, std::string> labels;
    for (int row : cli.ChosenRows()) {
        devices.push_back({row, station.m_DeviceList.Row(row)});
        labels[row] = Label(devices.back().before);
    }
    cli.view().AnswerFileDialogWith(file);
    station.OnOpen();  // the window's Open: the file the boot responder and the TFTP server hand out

    UpgradeProgress progress(err, labels, texts.stateUpgrading, StandardErrorIsTerminal());
    cli.watch().KeepStateChanges(true);
    InstallStopSignals();
    station.OnUpgrade();
    for (const auto& message : cli.view().TakeMessages()) err << "quillane-cli: " << message.text << "\n";
    FollowTheRun(cli, progress, err, texts);
    cli.watch().KeepStateChanges(false);

    std::map<int, std::string> verdicts;
    for (const Device& device : devices)
        verdicts[device.row] = TransferVerdict(station.m_DeviceList.Cell(device.row, kColState), texts);
    const std::map<int32_t, std::string> after =
        invocation.upgrade.verify ? VersionsAfter(cli, devices, err) : std::map<int32_t, std::string>{};

    int failed = 0;
    for (const Device& device : devices) {
        std::string verdict = verdicts[device.row];
        std::string line = Label(device.before) + "  ";
        if (invocation.upgrade.verify) {
            const auto version = after.find(ReadDecimal(device.before[kColDeviceNo]));
            line += "version " + device.before[kColVersion] + " -> " +
                    (version == after.end() ? std::string("?") : version->second) + "  ";
            if (verdict.empty() && version == after.end()) verdict = "failed: not found after the upgrade";
            if (verdict.empty() && version->second == device.before[kColVersion])
                verdict = "failed: the version did not change";
        }
        failed += verdict.empty() ? 0 : 1;
        out << line << (verdict.empty() ? "upgraded" : verdict) << "\n";
    }
    failed += ReportMissing(chosen, out);
    out << std::flush;
    return failed == 0 ? kExitDone : kExitSomeFailed;
}

}  // namespace quillane::cli
