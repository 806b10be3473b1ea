#include <chrono>
#include <ostream>

#include "cli_station.h"
#include "commands.h"
#include "device_report.h"
#include "model/ip_settings.h"
#include "model/texts.h"
#include "verdicts.h"

namespace quillane::cli {
namespace {

using namespace std::chrono_literals;
// The answer check gives up on silent devices 4 s after the last result; this
// only keeps a station whose loop has gone from holding the tool forever.
constexpr auto kLongestQuiet = 30s;

// What the IP settings dialog would hand over: the ticked fields and their values.
IpSettingsValues EnteredSettings(const ChangeOptions& change) {
    IpSettingsValues values;
    auto put = [](const std::optional<uint32_t>& given, uint32_t& value, int& check) {
        value = given.value_or(0);
        check = given ? 1 : 0;
    };
    put(change.ip, values.ip, values.ipCheck);
    put(change.mask, values.mask, values.maskCheck);
    put(change.gateway, values.gateway, values.gatewayCheck);
    put(change.server, values.server, values.serverCheck);
    put(change.standby, values.backupServer, values.backupServerCheck);
    values.editType = static_cast<int>(change.editType);
    return values;
}

// Modify IP as the operator presses it, then, when it started a run, until
// the batch is sent and every device answered or was given up on.
bool RunTheChange(CliStation& cli) {
    StationWatch& watch = cli.watch();
    const int started = watch.Started(RunKind::kAddressChange);
    const int ended = watch.Ended(RunKind::kAddressChange);
    cli.station().OnModifyIP();
    if (watch.Started(RunKind::kAddressChange) == started) return true;  // refused: nothing to wait for
    return watch.WaitForEnd(RunKind::kAddressChange, ended, kLongestQuiet);
}

// The result as the window's State column shows it, in the tool's language.
std::string ResultText(const RowState& state, int language) {
    if (state.status == RowStatus::kNone) return "no result";
    return StateText(state, language).value_or(StableName(state));
}

}  // namespace

int RunChangeCommand(const Invocation& invocation, std::ostream& out, std::ostream& err) {
    const int language = invocation.search.language;
    const TextTable& texts = Texts(language);
    // The dialog's OK would refuse these settings: so does the tool, before any search.
    const IpSettingsValues entered = EnteredSettings(invocation.change);
    if (const int rejected = FirstRejectedField(entered); rejected >= 0) {
        err << "quillane-cli: " << texts.msgFirstOctet[static_cast<size_t>(rejected)] << "\n";
        return kExitUnusable;
    }

    CliStation cli(invocation.search, Services::DeviceLink);
    int exitCode = kExitDone;
    const std::optional<ChosenDevices> devices =
        StartSearchAndChoose(cli, invocation.change.devices, out, err, exitCode);
    if (!devices) return exitCode;

    const DeviceTable& table = cli.station().m_DeviceList;
    std::vector<std::pair<int, DeviceRow>> before;
    for (int row : cli.ChosenRows()) before.emplace_back(row, table.Row(row));
    cli.view().AnswerIpSettingsWith(entered);
    const bool answered = RunTheChange(cli);
    for (const auto& message : cli.view().TakeMessages()) err << "quillane-cli: " << message.text << "\n";
    if (!answered)
        err << "quillane-cli: the answers were not checked in time; devices still waiting count as failed\n";

    int failed = 0;
    for (const auto& [row, was] : before) {
        const DeviceRow now = table.Row(row);
        const RowState state = table.RowStateOf(row);
        failed += ChangeSucceeded(state) ? 0 : 1;
        out << "device " << was[kColDeviceNo] << "  " << was[kColIP] << " -> " << now[kColIP] << "  "
            << ResultText(state, language) << "\n";
    }
    failed += ReportMissing(*devices, out);
    out << std::flush;
    return failed == 0 ? kExitDone : kExitSomeFailed;
}

}  // namespace quillane::cli
