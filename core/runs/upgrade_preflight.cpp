#include "runs/upgrade_preflight.h"

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

std::string DescribePreflightProblem(const UpgradePreflightProblem& p, int language) {
    if (language != 1 && language != 2) return {};
    const bool zh = language == 1;
    const std::string port = std::to_string(p.port);
    switch (p.kind) {
        case Kind::kNone:
            return {};
        case Kind::kPathTooLong:
            return zh ? "升级文件的路径太长(" + std::to_string(p.pathBytes) + "字节)，设备最多接受" +
                            std::to_string(kLongestBootFilePath) + "字节。请把文件放到较短的路径下。"
                      : "The firmware file's path is too long for the devices: " +
                            std::to_string(p.pathBytes) + " bytes, at most " +
                            std::to_string(kLongestBootFilePath) + ". Move the file to a shorter path.";
        case Kind::kFileUnreadable:
            return zh ? "无法读取升级文件。" : "The firmware file cannot be read.";
        case Kind::kFileEmpty:
            return zh ? "升级文件是空的。" : "The firmware file is empty.";
        case Kind::kBootService:
            return zh ? "引导地址应答服务未运行：UDP端口" + port + DescribePortFailure(p.why, language) + "。"
                      : "The boot responder is not running: UDP port " + port + " " +
                            DescribePortFailure(p.why, language) + ".";
        case Kind::kTftpService:
            return zh ? "TFTP服务未运行：UDP端口" + port + DescribePortFailure(p.why, language) + "。"
                      : "The TFTP server is not running: UDP port " + port + " " +
                            DescribePortFailure(p.why, language) + ".";
    }
    return {};
}

}  // namespace quillane
