#include "runs/upgrade_preflight.h"

#include "model/texts.h"
#include "runs/service_ports.h"
#include "runs/station_state.h"
#include "support/narrow_text.h"
#include "support/served_file.h"

namespace quillane {
namespace {

using Kind = UpgradePreflightProblem::Kind;

}  // namespace

UpgradePreflightProblem CheckUpgradePreflight(const UpgradePreflightInput& input) {
    const size_t pathBytes = static_cast<size_t>(ToNarrowFromUtf8(input.updateFile).length);
    if (pathBytes > kLongestBootFilePath) return {Kind::kPathTooLong, pathBytes, BindFailure::None, 0};
    // Opened as the TFTP server opens it: what it could not serve fails here.
    const ServedFile opened = OpenServedFile(input.updateFile, false);
    if (opened.stream) std::fclose(opened.stream);
    if (opened.result != ServedFileOpen::kOpened) return {Kind::kFileUnreadable, 0, BindFailure::None, 0};
    if (opened.size == 0) return {Kind::kFileEmpty, 0, BindFailure::None, 0};
    if (input.bootService != BindFailure::None)
        return {Kind::kBootService, 0, input.bootService, input.bootPort};
    if (input.tftpService != BindFailure::None)
        return {Kind::kTftpService, 0, input.tftpService, input.tftpPort};
    return {};
}

UpgradePreflightInput GatherUpgradePreflight(const StationState& station, const std::string& updateFile) {
    UpgradePreflightInput input;
    input.updateFile = updateFile;
    input.bootPort = station.Network().bootServerPort;
    input.tftpPort = station.Network().tftpPort;
    input.bootService = CheckServicePort(station, StationService::kBootResponder).why;
    input.tftpService = CheckServicePort(station, StationService::kTftpServer).why;
    return input;
}

std::string DescribePreflightProblem(const UpgradePreflightProblem& p, Language language) {
    if (!language.HasTexts()) return {};
    const TextTable& t = Texts(language);
    const std::string port = std::to_string(p.port);
    switch (p.kind) {
        case Kind::kNone:
            return {};
        case Kind::kPathTooLong:
            return FillIn(t.msgFilePathTooLong,
                          {std::to_string(p.pathBytes), std::to_string(kLongestBootFilePath)});
        case Kind::kFileUnreadable:
            return t.msgFileUnreadable;
        case Kind::kFileEmpty:
            return t.msgFileEmpty;
        case Kind::kBootService:
            return FillIn(t.msgBootServiceDown, {port, DescribePortFailure(p.why, language)});
        case Kind::kTftpService:
            return FillIn(t.msgTftpServiceDown, {port, DescribePortFailure(p.why, language)});
    }
    return {};
}

}  // namespace quillane
