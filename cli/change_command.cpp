#include <chrono>
#include <ostream>
#include <thread>

#include "cli_station.h"
#include "commands.h"
#include "device_report.h"
#include "model/ip_settings.h"
#include "model/texts.h"

namespace quillane::cli {
namespace {

using namespace std::chrono_literals;
constexpr auto kPoll = 50ms;
// The answer check gives up on silent devices 4 s after the last result; this
// only keeps a station whose loop has gone from holding the tool forever.
constexpr auto kLongestAnswerWait = 30s;

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

bool AwaitingAnswers(const Station& station) {
    const DeviceTable& table = station.m_DeviceList;
    for (int row = 0; row < table.RowCount(); ++row) {
        if (table.Cell(row, kColMarker) == "1") return true;
    }
    return false;
}

// Until the batch is sent and every device answered or was given up on.
bool WaitForTheRun(const Station& station) {
    while (station.m_bModifyRequest.load() != 0) std::this_thread::sleep_for(kPoll);
    const auto end = std::chrono::steady_clock::now() + kLongestAnswerWait;
    while (AwaitingAnswers(station)) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(kPoll);
    }
    return true;
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
    std::string error;
    if (!cli.Start(error) || !cli.Search(error)) {
        err << "quillane-cli: " << error << "\n";
        return kExitUnusable;
    }
    const ChosenDevices devices = cli.Choose(invocation.change.devices);
    if (devices.chosen.empty()) return ReportNothingChosen(devices, out, err);

    const DeviceTable& table = cli.station().m_DeviceList;
    std::vector<std::pair<int, DeviceRow>> before;
    for (int row : cli.ChosenRows()) before.emplace_back(row, table.Row(row));
    cli.view().AnswerIpSettingsWith(entered);
    cli.station().OnModifyIP();
    const bool answered = WaitForTheRun(cli.station());
    for (const auto& message : cli.view().TakeMessages()) err << "quillane-cli: " << message.text << "\n";
    if (!answered)
        err << "quillane-cli: the answers were not checked in time; devices still waiting count as failed\n";

    int failed = 0;
    for (const auto& [row, was] : before) {
        const DeviceRow now = table.Row(row);
        const bool succeeded = now[kColState] == texts.stateSuccess;
        failed += succeeded ? 0 : 1;
        out << "device " << was[kColDeviceNo] << "  " << was[kColIP] << " -> " << now[kColIP] << "  "
            << (now[kColState].empty() ? "no result" : now[kColState]) << "\n";
    }
    failed += ReportMissing(devices, out);
    out << std::flush;
    return failed == 0 ? kExitDone : kExitSomeFailed;
}

}  // namespace quillane::cli
