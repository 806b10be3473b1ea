#include "runs/boot_responder.h"

#include <cstring>

#include "link/segment_rule.h"
#include "model/control_ids.h"
#include "model/texts.h"
#include "runs/boot_answer_rule.h"
#include "runs/station_state.h"
#include "runs/upgrade_run.h"
#include "runs/upgrade_step.h"
#include "support/narrow_text.h"

namespace quillane {

BootAddresses FallbackBootAddresses(const std::string& firstLocalAddress) {
    BootAddresses addresses;
    addresses.server = ParseIPv4(firstLocalAddress);
    addresses.device = addresses.server;
    reinterpret_cast<uint8_t*>(&addresses.device)[3] = 254;  // a.b.c.d -> a.b.c.254
    return addresses;
}

std::optional<std::vector<uint8_t>> BuildBootReply(const uint8_t* request, size_t length,
                                                   const std::string& path, const BootAddresses& addresses) {
    if (length != kBootPacketSize || path.size() >= kBootFileSize) return std::nullopt;
    std::vector<uint8_t> reply(request, request + kBootPacketSize);
    reply[0] = static_cast<uint8_t>(reply[0] + 1);
    reply[kBootSecsOffset] = 0x01;
    reply[kBootSecsOffset + 1] = 0x00;
    std::memcpy(&reply[kBootYiaddrOffset], &addresses.device, 4);
    std::memcpy(&reply[kBootSiaddrOffset], &addresses.server, 4);
    // Zeroing the rest keeps request bytes from reading as part of the path.
    std::memset(&reply[kBootFileOffset], 0, kBootFileSize);
    std::memcpy(&reply[kBootFileOffset], path.data(), path.size());
    return reply;
}

namespace {

void SendBootReply(StationState& station, const std::vector<uint8_t>& reply) {
    const StationNetwork& network = station.Network();
    SocketSendTo(station.m_BootEndpoint.socket, reply.data(), reply.size(),
                 MakeAddress(htonl(network.bootReplyAddress), network.bootClientPort));
}

}  // namespace

std::optional<BootAddresses> ChooseBootAddresses(StationState& station, bool upgrading) {
    const std::shared_ptr<const LocalAddressLists> local = station.LocalAddresses();
    if (local->ips.empty()) return std::nullopt;
    if (!upgrading) return FallbackBootAddresses(local->ips[0]);
    const int start = station.m_nUpgradeRow.load();
    const int row = station.m_DeviceList.FirstChosenRow(start);
    if (row < 0) return std::nullopt;
    const IPv4Address device = station.m_DeviceList.RowAddress(row);
    const int facing =
        FindFacingLocalAddress(device, station.m_DeviceList.RowMask(row), local->ips, local->masks);
    if (facing < 0) return FallbackBootAddresses(local->ips[0]);
    return BootAddresses{device.NetworkOrder(), ParseIPv4(local->ips[static_cast<size_t>(facing)])};
}

uint32_t UpgradingDeviceAddress(const StationState& station, int32_t currentRow) {
    if (station.m_bUpgrading.load() != 1) return 0;
    const int row = station.m_DeviceList.FirstChosenRow(currentRow);
    return row < 0 ? 0 : station.m_DeviceList.RowAddress(row).NetworkOrder();
}

void OnBootRequest(const sockaddr_in*, const uint8_t* data, int length, void* user) {
    if (!user || !data || length != static_cast<int>(kBootPacketSize)) return;
    auto& station = *static_cast<StationState*>(user);
    station.PostLoopEvent(BootRequestEvent{std::vector<uint8_t>(data, data + kBootPacketSize)});
}

namespace {

// The addresses of a reply that names the run's device of `row`.
std::optional<BootAddresses> DeviceBootAddresses(StationState& station, int row) {
    const std::shared_ptr<const LocalAddressLists> local = station.LocalAddresses();
    if (local->ips.empty()) return std::nullopt;
    const IPv4Address device = station.m_DeviceList.RowAddress(row);
    const int facing =
        FindFacingLocalAddress(device, station.m_DeviceList.RowMask(row), local->ips, local->masks);
    if (facing < 0) return FallbackBootAddresses(local->ips[0]);
    return BootAddresses{device.NetworkOrder(), ParseIPv4(local->ips[static_cast<size_t>(facing)])};
}

// The first unanswered request of a run is named on the note line.
void NameUnansweredRequest(StationState& station, UpgradeRun& run,
                           const std::optional<HardwareAddress>& from) {
    if (!run.TakeFirstUnanswered()) return;
    const std::string who = from ? HardwareAddressText(*from) : std::string("?");
    station.View().SetCaption(kIdNoteLine, FillIn(Texts(station.m_nLanguage).noteBootUnanswered, {who}));
}

// During a run the answer is bound to the asking device by its hardware
// address (boot_answer_rule.h); a request the rule leaves unanswered is counted.
void AnswerInRun(StationState& station, UpgradeRun& run, const uint8_t* data, const std::string& path) {
    const std::optional<HardwareAddress> requester = BootRequestHardwareAddress(data, kBootPacketSize);
    const BootDecision decision = run.Slots().AnswerBootRequest(requester);
    if (!decision.device) {
        NameUnansweredRequest(station, run, requester);
        return;
    }
    const std::optional<size_t> device = run.DeviceAt(*decision.device);
    if (!device) return;
    const auto addresses = DeviceBootAddresses(station, run.Row(*device));
    if (!addresses) return;
    const auto reply = BuildBootReply(data, kBootPacketSize, path, *addresses);
    if (!reply) return;
    SendBootReply(station, *reply);
    if (run.Phase(*device) == UpgradePhase::kCommandSent) run.SetPhase(*device, UpgradePhase::kBootAnswered);
    // A device upgraded alone for want of its hardware address has one now:
    // others may join it.
    if (decision.learnsRequester)
        AdvanceUpgradeRun(station);
    else
        PublishUpgradeSlot(station);
}

}  // namespace

void AnswerBootRequest(StationState& station, const uint8_t* data, size_t length) {
    if (!data || length != kBootPacketSize) return;
    // The device gets the path in the system's narrow code page and asks the
    // TFTP server for it in the same bytes.
    const std::string path = ToNarrowFromUtf8(station.UpdateFile()).str();
    if (path.size() >= kBootFileSize) return;  // a cut path would send the device to another file
    const bool upgrading = station.m_bUpgrading.load() == 1;
    // During a run the table is read in one step against the window's clicks.
    std::optional<AutoLock> lock;
    if (upgrading) lock.emplace(&station.m_ListLock);
    if (upgrading && station.m_upgradeRun) {
        AnswerInRun(station, *station.m_upgradeRun, data, path);
        return;
    }
    // No run, or the press's run before the loop took its start.
    const auto addresses = ChooseBootAddresses(station, upgrading);
    if (!addresses) return;
    const auto reply = BuildBootReply(data, kBootPacketSize, path, *addresses);
    if (!reply) return;
    SendBootReply(station, *reply);
}

}  // namespace quillane
