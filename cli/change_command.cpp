#include <chrono>
#include <ostream>
#include <unordered_map>

#include "change_plan.h"
#include "change_results.h"
#include "cli_station.h"
#include "commands.h"
#include "device_report.h"
#include "model/ip_settings.h"
#include "results_document.h"
#include "run_report.h"
#include "support/utf8_files.h"
#include "verdicts.h"

namespace quillane::cli {
namespace {

using namespace std::chrono_literals;
// The answer check gives up on silent devices 4 s after the last result; this
// only keeps a station whose loop has gone from holding the tool forever.
constexpr auto kLongestQuiet = 30s;

// What the IP settings dialog would hand over: the ticked fields and their values.
IpSettingsValues EnteredSettings(const ChangeOptions& change) {
    auto row = [](const std::optional<uint32_t>& given) {
        return IpSettingsRow{given.has_value(), given.value_or(0)};
    };
    return IpSettingsOfRows(
        {row(change.ip), row(change.mask), row(change.gateway), row(change.server), row(change.standby)},
        static_cast<int>(change.editType));
}

// Modify IP as the operator presses it, then, when it started a run, until
// the batch is sent and every device answered or was given up on.
bool RunTheChange(CliStation& cli, AddressChangeRequest request) {
    StationWatch& watch = cli.watch();
    const int started = watch.Started(RunKind::kAddressChange);
    const int ended = watch.Ended(RunKind::kAddressChange);
    cli.station().ChangeAddresses(std::move(request));
    if (watch.Started(RunKind::kAddressChange) == started) return true;  // refused: nothing to wait for
    return watch.WaitForEnd(RunKind::kAddressChange, ended, kLongestQuiet);
}

// The result as the window's State column shows it, in the tool's language.
std::string ResultText(const RowState& state, int language) {
    if (state.status == RowStatus::kNone) return "no result";
    return StateText(state, language).value_or(StableName(state));
}

// The plan file read whole; nullopt (and the fault said) when it cannot be used.
std::optional<AddressPlan> ReadPlanFile(const std::string& path, std::ostream& err) {
    std::string content;
    if (!ReadWholeFileUtf8(path, content)) {
        err << "quillane-cli: cannot read the plan " << path << "\n";
        return std::nullopt;
    }
    PlanReading reading = ReadAddressPlan(content);
    if (!reading.plan) {
        err << "quillane-cli: " << DescribePlanError(path, reading.error) << "\n";
        return std::nullopt;
    }
    return std::move(reading.plan);
}

std::vector<DeviceRow> TableRows(const Station& station) {
    std::vector<DeviceRow> rows;
    for (int row = 0; row < station.m_DeviceList.RowCount(); ++row)
        rows.push_back(station.m_DeviceList.Row(row));
    return rows;
}

// The batch's rows by table row, looked up once per device of the run.
std::unordered_map<int, const BatchRow*> BatchRowsByRow(const AddressChangeBatch& batch) {
    std::unordered_map<int, const BatchRow*> byRow;
    for (const BatchRow& r : batch.rows) byRow.emplace(r.row, &r);
    return byRow;
}

struct ChangeRecordContext {
    std::chrono::system_clock::time_point started, ended;
};

DeviceRecord ChangeRecord(const ChangeRecordContext& when, const DeviceRow& was, const DeviceRow& now,
                          const BatchRow* planned, bool succeeded) {
    DeviceRecord record;
    record.command = "change";
    record.started = when.started;
    record.ended = when.ended;
    record.device = ReadDecimal(was[kColDeviceNo]);
    record.addressBefore = was[kColIP];
    record.versionBefore = was[kColVersion];
    if (planned && planned->plan.action == RowPlan::Action::kRefuse) {
        record.result = "refused";
        record.reason = DescribeRefusal(*planned, 2);
    } else if (succeeded) {
        record.result = "success";
        record.addressAfter = planned ? IPv4Address(planned->plan.values.newIp).ToString() : now[kColIP];
    } else {
        record.result = "failure";
        record.reason = "the device reported a failure or did not answer in time";
    }
    return record;
}

DeviceRecord NotChangedRecord(int32_t device, const char* result, const char* reason, const DeviceRow* row) {
    DeviceRecord record;
    record.command = "change";
    record.started = record.ended = std::chrono::system_clock::now();
    record.device = device;
    if (row) {
        record.addressBefore = record.addressAfter = (*row)[kColIP];
        record.versionBefore = (*row)[kColVersion];
    }
    record.result = result;
    record.reason = reason;
    return record;
}

}  // namespace

int RunChangeCommand(const Invocation& invocation, std::ostream& stdOut, std::ostream& err) {
    ResultsDocument document("change", invocation, stdOut);
    std::ostream& out = document.Text();
    const ChangeOptions& change = invocation.change;
    const int language = invocation.search.language;
    std::optional<AddressPlan> plan;
    if (!change.planFile.empty() && !(plan = ReadPlanFile(change.planFile, err))) return kExitUnusable;
    // The dialog's OK would refuse these settings: so does the tool, before any search.
    const IpSettingsValues entered = plan ? IpSettingsValues{} : EnteredSettings(change);
    if (const std::optional<UnusableSetting> rejected = plan ? std::nullopt : RejectedEntry(entered, {})) {
        err << "quillane-cli: " << UnusableSettingMessage(*rejected, language) << "\n";
        return kExitUnusable;
    }
    RunReport report(change.record.report);
    const auto record = [&report, &document](const DeviceRecord& r) {
        report.Add(r);
        document.Add(r);
    };

    CliStation cli(invocation.search, Services::DeviceLink);
    std::string error;
    if (!cli.Start(error) || !cli.Search(error)) {
        err << "quillane-cli: " << error << "\n";
        return kExitUnusable;
    }
    Station& station = cli.station();
    DeviceChoice choice = change.devices;
    MatchedPlan matched;
    if (plan) {
        matched = MatchPlan(*plan, TableRows(station));
        choice = {};
        for (int32_t device : matched.devices)
            if (!matched.unchanged.count(device)) choice.deviceNumbers.push_back(device);
        for (int32_t device : matched.unchanged) {
            const int row = station.m_DeviceList.FindRowByDeviceNumber(device);
            out << "device " << device << "  " << station.m_DeviceList.Cell(row, kColIP)
                << "  unchanged: it has the planned settings already\n";
            const DeviceRow was = station.m_DeviceList.Row(row);
            record(NotChangedRecord(device, "unchanged", "", &was));
            document.Settings(device, RowSettings(was), RowSettings(was));
        }
    }
    const ChosenDevices devices = cli.Choose(choice);
    for (int32_t device : devices.missing)
        record(NotChangedRecord(device, "not-found", "the search did not find the device", nullptr));
    if (devices.chosen.empty()) {
        const int code = devices.missing.empty() && plan ? kExitDone : ReportNothingChosen(devices, out, err);
        return report.Write(err) ? document.Finish(code) : kExitUnusable;
    }

    // The batch is worked out once, by the station, and sent as it stands: a
    // plan that would give two devices one address is refused as a whole.
    AddressChangeRequest request;
    request.settings = SettingsFromDialog(entered);
    if (plan) request.plan = matched.settings;
    const auto planned = std::make_shared<const AddressChangeBatch>(station.PlanAddressChanges(request));
    request.batch = planned;
    const AddressChangeBatch& batch = *planned;
    if (plan) {
        if (const std::optional<PlanError> conflict = PlanConflict(*plan, batch)) {
            err << "quillane-cli: " << DescribePlanError(change.planFile, *conflict)
                << "; nothing was sent\n";
            return kExitUnusable;
        }
    } else if (const std::string unusable = UnusableArgument(batch, language); !unusable.empty()) {
        err << "quillane-cli: " << unusable << "; nothing was sent\n";
        return kExitUnusable;
    }
    if (change.record.dryRun) {
        const int refused = PrintDryRun(batch, language, out) + ReportMissing(devices, out);
        out << std::flush;
        AddChangeDryRun(document, batch, station.m_DeviceList);
        return document.Finish(refused == 0 ? kExitDone : kExitSomeFailed);
    }

    const DeviceTable& table = station.m_DeviceList;
    std::vector<std::pair<int, DeviceRow>> before;
    for (int row : cli.ChosenRows()) before.emplace_back(row, table.Row(row));
    ChangeRecordContext when{std::chrono::system_clock::now(), {}};
    const bool answered = RunTheChange(cli, std::move(request));
    when.ended = std::chrono::system_clock::now();
    for (const auto& message : cli.view().TakeMessages()) err << "quillane-cli: " << message.text << "\n";
    if (!answered)
        err << "quillane-cli: the answers were not checked in time; devices still waiting count as failed\n";

    int failed = 0;
    const std::unordered_map<int, const BatchRow*> batchRows = BatchRowsByRow(batch);
    for (const auto& [row, was] : before) {
        const DeviceRow now = table.Row(row);
        const RowState state = table.RowStateOf(row);
        const bool succeeded = ChangeSucceeded(state);
        const auto found = batchRows.find(row);
        const BatchRow* planned = found == batchRows.end() ? nullptr : found->second;
        failed += succeeded ? 0 : 1;
        out << "device " << was[kColDeviceNo] << "  " << was[kColIP] << " -> " << now[kColIP] << "  "
            << ResultText(state, language);
        if (planned && planned->plan.action == RowPlan::Action::kRefuse)
            out << " (refused: " << DescribeRefusal(*planned, language) << ")";
        out << "\n";
        record(ChangeRecord(when, was, now, planned, succeeded));
        document.Settings(ReadDecimal(was[kColDeviceNo]), RowSettings(was), RowSettings(now));
    }
    failed += ReportMissing(devices, out);
    out << std::flush;
    if (!report.Write(err)) return kExitUnusable;
    return document.Finish(failed == 0 ? kExitDone : kExitSomeFailed);
}

}  // namespace quillane::cli
