#include "fleet_simulator.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>

#include "pktinfo_socket.h"
#include "upgrade_session.h"

namespace devsim {
namespace {

constexpr size_t kMaxDatagramsPerPass = 512;  // then timers and signals get their turn
constexpr auto kLocalAddressCacheAge = std::chrono::milliseconds(200);

bool IsContiguousMask(uint32_t mask) {
    return mask != 0 && ((~mask + 1) & ~mask) == 0;
}

// Settings a device refuses to take: it would lose itself on the network.
const char* SettingsProblem(const Command& c) {
    if (!IsContiguousMask(c.mask)) return "mask is not contiguous";
    if (c.newIp == 0 || c.newIp >= 0xE0000000u || (c.newIp >> 24) == 127 || (c.newIp >> 24) == 0)
        return "address is not a unicast host address";
    const uint32_t host = c.newIp & ~c.mask;
    if (c.mask != 0xFFFFFFFFu && c.mask != 0xFFFFFFFEu && (host == 0 || host == ~c.mask))
        return "address is the network or broadcast address of its subnet";
    return nullptr;
}

std::array<uint8_t, 4> NextVersion(std::array<uint8_t, 4> version) {
    for (auto& byte : version)
        if (++byte != 0) break;
    return version;
}

std::string TypeText(const std::optional<int32_t>& type) {
    return type ? std::to_string(*type) : "none";
}

}  // namespace

FleetSimulator::FleetSimulator(const std::vector<DeviceConfig>& fleet, const SimulatorOptions& options,
                               EventLog& log)
    : m_options(options), m_log(log) {
    m_devices.reserve(fleet.size());
    for (const DeviceConfig& config : fleet) {
        auto device = std::make_unique<Device>();
        device->config = config;
        device->state = {config.number,  config.typeCode, config.version, config.ip, config.mask,
                         config.gateway, config.server,   config.standby, config.mac};
        device->sourceIp = config.ip;
        device->dice = DropDice(options.seed, static_cast<uint32_t>(config.number));
        m_byAddress[config.ip] = m_devices.size();
        m_broadcasts.insert(config.ip | ~config.mask);
        m_devices.push_back(std::move(device));
    }
}

FleetSimulator::~FleetSimulator() {
    m_stopping = true;
    ReapWorkers(true);
    if (m_socket >= 0) ::close(m_socket);
}

bool FleetSimulator::Start(std::string& error) {
    const auto local = LocalAddresses();
    std::set<int> interfaces;
    for (const auto& device : m_devices) {
        const auto found = local.find(device->config.ip);
        if (found == local.end()) {
            error = "address " + FormatAddress(device->config.ip) + " of device " +
                    std::to_string(device->config.number) +
                    " is not on any interface here (run devsim inside the lab's device namespace)";
            return false;
        }
        interfaces.insert(found->second);
    }
    if (m_byAddress.size() != m_devices.size()) {
        error = "two devices share one address";
        return false;
    }
    m_socket = OpenPktinfoSocket(kCommandPort, false, error);
    if (m_socket < 0) return false;
    for (int index : interfaces) {
        if (!JoinGroupOnInterface(m_socket, kCommandGroup, index)) {
            error =
                "cannot join 224.0.2.0 on interface " + std::to_string(index) + ": " + std::strerror(errno);
            return false;
        }
    }
    m_localAddresses.insert(local.begin(), local.end());
    m_localAddressesRead = Clock::now();
    m_severalInterfaces = interfaces.size() > 1;
    if (!m_devices.empty()) m_firstInterface = local.at(m_devices.front()->config.ip);
    return true;
}

void FleetSimulator::Run(int stopFd) {
    for (;;) {
        pollfd waits[2] = {{m_socket, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int ready = ::poll(waits, 2, PollTimeoutMs());
        if (ready < 0 && errno != EINTR) break;
        if (waits[1].revents) break;
        if (waits[0].revents & POLLIN) DrainSocket();
        FireDueSends();
        ReapWorkers(false);
        m_log.Flush();
    }
    m_log.Write(
        LogLine().Add("event", "stopping").Add("upgrades_running", static_cast<uint64_t>(m_workers.size())));
    m_stopping = true;
    ReapWorkers(true);
    m_log.Write(LogLine().Add("event", "stopped"));
    m_log.Flush();
}

int FleetSimulator::PollTimeoutMs() const {
    if (m_delayed.empty()) return 100;
    const auto wait =
        std::chrono::duration_cast<std::chrono::milliseconds>(m_delayed.top().due - Clock::now());
    return static_cast<int>(std::clamp<int64_t>(wait.count() + 1, 0, 100));
}

void FleetSimulator::DrainSocket() {
    static uint8_t buffer[2048];
    for (size_t n = 0; n < kMaxDatagramsPerPass; ++n) {
        const ReceivedDatagram got = ReceivePktinfo(m_socket, buffer, sizeof buffer);
        if (got.length < 0) return;
        Dispatch({buffer, static_cast<size_t>(std::min<int>(got.length, sizeof buffer)), got.destination,
                  got.peerIp, got.peerPort, got.interfaceIndex});
    }
}

void FleetSimulator::Dispatch(const Incoming& in) {
    const Command command = ParseCommand(in.data, in.length);
    // The group, and broadcasts, which real devices hear as well.
    const bool toAll = in.destination == kCommandGroup || in.destination == 0xFFFFFFFFu ||
                       (m_broadcasts.count(in.destination) && !m_byAddress.count(in.destination));
    if (!toAll && in.destination >= 0xE0000000u) return;  // another group: not for devices

    if (!toAll) {
        const auto found = m_byAddress.find(in.destination);
        if (found == m_byAddress.end()) {
            m_log.Write(LogLine()
                            .Add("dir", "in")
                            .Add("to", FormatAddress(in.destination))
                            .Add("peer", Endpoint(in.peerIp, in.peerPort))
                            .Add("len", static_cast<uint64_t>(in.length))
                            .Add("ignored", "no device at this address"));
            return;
        }
        HandleForDevice(found->second, command, in);
        return;
    }
    // A datagram for everyone that no device understands is logged once, not per device.
    if (command.kind == CommandKind::Unknown) {
        if (m_severalInterfaces && in.interfaceIndex != m_firstInterface) return;  // one copy per card
        m_log.Write(LogLine()
                        .Add("dir", "in")
                        .Add("to", FormatAddress(in.destination))
                        .Add("peer", Endpoint(in.peerIp, in.peerPort))
                        .Add("code", static_cast<uint32_t>(command.code))
                        .Add("len", static_cast<uint64_t>(in.length))
                        .Add("ignored", command.problem));
        return;
    }
    size_t matched = 0;
    for (size_t i = 0; i < m_devices.size(); ++i) {
        if (command.kind == CommandKind::ChangeGroup &&
            static_cast<uint16_t>(m_devices[i]->config.number & 0xFFFF) != command.numberLow)
            continue;
        ++matched;
        if (HearsOn(*m_devices[i], in.interfaceIndex)) HandleForDevice(i, command, in);
    }
    if (matched == 0 && (!m_severalInterfaces || in.interfaceIndex == m_firstInterface))
        m_log.Write(LogLine()
                        .Add("dir", "in")
                        .Add("kind", CommandName(command.kind))
                        .Add("peer", Endpoint(in.peerIp, in.peerPort))
                        .Add("len", static_cast<uint64_t>(in.length))
                        .Add("number_low", static_cast<uint32_t>(command.numberLow))
                        .Add("ignored", "no device with these low 16 bits"));
}

void FleetSimulator::HandleForDevice(size_t index, const Command& command, const Incoming& in) {
    Device& device = *m_devices[index];
    LogLine received;
    received.Add("dev", device.config.number)
        .Add("dir", "in")
        .Add("kind", CommandName(command.kind))
        .Add("code", static_cast<uint32_t>(command.code))
        .Add("len", static_cast<uint64_t>(in.length))
        .Add("peer", Endpoint(in.peerIp, in.peerPort))
        .Add("to", FormatAddress(in.destination));
    if (device.dice.Drop(device.config.faults.dropShare)) {
        m_log.Write(received.Add("dropped", true));
        return;
    }
    if (device.config.faults.silent) {
        m_log.Write(received.Add("ignored", "silent (fault)"));
        return;
    }
    switch (command.kind) {
        case CommandKind::SearchProbe:
        case CommandKind::RangeProbe: {
            m_log.Write(received);
            std::vector<uint8_t> reply;
            LogLine fields;
            {
                std::lock_guard<std::mutex> lock(m_stateMutex);
                const DeviceState& s = device.state;
                reply = BuildSearchReply(s);
                fields.Add("kind", "search-reply")
                    .Add("code", 0xF1u)
                    .Add("ip", FormatAddress(s.ip))
                    .Add("mask", FormatAddress(s.mask))
                    .Add("gateway", FormatAddress(s.gateway))
                    .Add("server", FormatAddress(s.server))
                    .Add("standby", FormatAddress(s.standby))
                    .Add("version", FormatVersion(s.version))
                    .Add("type", TypeText(s.typeCode));
            }
            Reply(index, std::move(reply), in, device.config.faults.searchDelayMs, fields);
            return;
        }
        case CommandKind::ChangeDirect:
        case CommandKind::ChangeGroup:
            HandleChange(index, command, in, received);
            return;
        case CommandKind::Upgrade:
            HandleUpgrade(index, received);
            return;
        case CommandKind::Unknown:
            m_log.Write(received.Add("ignored", command.problem));
            return;
    }
}

void FleetSimulator::HandleChange(size_t index, const Command& command, const Incoming& in,
                                  LogLine& received) {
    Device& device = *m_devices[index];
    received.Add("present", FormatAddress(command.presentIp))
        .Add("new_ip", FormatAddress(command.newIp))
        .Add("new_mask", FormatAddress(command.mask))
        .Add("new_gateway", FormatAddress(command.gateway))
        .Add("new_server", FormatAddress(command.server))
        .Add("new_standby", FormatAddress(command.standby))
        .Add("checksum_ok", command.checksumOk);
    if (command.kind == CommandKind::ChangeGroup)
        received.Add("number_low", static_cast<uint32_t>(command.numberLow));
    if (device.config.faults.ignoreChange) {
        m_log.Write(received.Add("ignored", "ignores address changes (fault)"));
        return;
    }

    const char* refusal = nullptr;
    if (!command.checksumOk)
        refusal = "wrong checksum";
    else
        refusal = SettingsProblem(command);
    if (refusal) {
        received.Add("refused", refusal);
        if (!command.checksumOk && device.config.faults.badChecksumSilent) {
            m_log.Write(received.Add("ignored", "no answer to a wrong checksum (fault)"));
            return;
        }
    }
    m_log.Write(received);

    if (!refusal) {
        const uint32_t oldIp = device.state.ip;
        {
            std::lock_guard<std::mutex> lock(m_stateMutex);
            device.state.ip = command.newIp;
            device.state.mask = command.mask;
            device.state.gateway = command.gateway;
            device.state.server = command.server;
            device.state.standby = command.standby;
        }
        if (const auto other = m_byAddress.find(command.newIp);
            other != m_byAddress.end() && other->second != index)
            m_log.Write(LogLine()
                            .Add("dev", device.config.number)
                            .Add("event", "address-conflict")
                            .Add("ip", FormatAddress(command.newIp))
                            .Add("other", m_devices[other->second]->config.number));
        m_byAddress[command.newIp] = index;
        m_broadcasts.insert(command.newIp | ~command.mask);
        if (IsLocal(command.newIp)) {
            if (oldIp != command.newIp) {
                const auto old = m_byAddress.find(oldIp);
                if (old != m_byAddress.end() && old->second == index) m_byAddress.erase(old);
            }
            device.sourceIp = command.newIp;
        } else {
            // The namespace does not own the new address: the device still hears
            // and speaks on the address it had, while it reports the new one.
            m_log.Write(LogLine()
                            .Add("dev", device.config.number)
                            .Add("event", "address-not-local")
                            .Add("ip", FormatAddress(command.newIp))
                            .Add("speaks_from", FormatAddress(device.sourceIp)));
        }
    }

    const bool success = refusal == nullptr;
    std::vector<uint8_t> result;
    LogLine fields;
    fields.Add("result", success ? 1u : 0u);
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        if (device.config.resultForm == ResultForm::Short) {
            result = BuildShortChangeResult(device.config.number, success);
            fields.Add("kind", "change-result-short").Add("code", 0xF0u);
        } else {
            result = BuildFullChangeResult(device.state, success);
            fields.Add("kind", "change-result-full")
                .Add("code", 0xF2u)
                .Add("ip", FormatAddress(device.state.ip))
                .Add("mask", FormatAddress(device.state.mask))
                .Add("gateway", FormatAddress(device.state.gateway))
                .Add("server", FormatAddress(device.state.server))
                .Add("standby", FormatAddress(device.state.standby));
        }
    }
    Reply(index, std::move(result), in, device.config.faults.changeDelayMs, fields);
}

void FleetSimulator::HandleUpgrade(size_t index, LogLine& received) {
    Device& device = *m_devices[index];
    const auto now = Clock::now();
    if (device.config.faults.ignoreUpgrade) {
        m_log.Write(received.Add("ignored", "ignores upgrades (fault)"));
        return;
    }
    if (device.upgrading) {
        m_log.Write(received.Add("ignored", "upgrade already running"));
        return;
    }
    if (device.upgradeCommandSeen &&
        now - device.lastUpgradeCommand < std::chrono::milliseconds(m_options.burstWindowMs)) {
        m_log.Write(received.Add("ignored", "copy of the command already taken"));
        return;
    }
    m_log.Write(received);
    device.upgradeCommandSeen = true;
    device.lastUpgradeCommand = now;
    device.upgrading = true;

    UpgradeSettings settings;
    settings.deviceNumber = device.config.number;
    settings.deviceIp = device.sourceIp;
    settings.mac = device.config.mac;
    settings.tftp = device.config.tftp;
    settings.faults = device.config.faults;
    settings.seed = m_options.seed + 7919 * ++device.upgrades;
    settings.log = &m_log;
    settings.stop = &m_stopping;
    m_log.Write(LogLine()
                    .Add("dev", device.config.number)
                    .Add("event", "upgrade-start")
                    .Add("from", FormatAddress(settings.deviceIp))
                    .Add("tftp", FormatTftpOptions(settings.tftp)));

    auto done = std::make_shared<std::atomic<bool>>(false);
    Device* target = &device;
    m_workers.push_back({std::thread([this, settings, target, done] {
                             RunUpgrade(settings, [this, target] {
                                 std::lock_guard<std::mutex> lock(m_stateMutex);
                                 if (target->config.faults.keepVersion) {
                                     m_log.Write(LogLine()
                                                     .Add("dev", target->state.number)
                                                     .Add("event", "version-kept")
                                                     .Add("version", FormatVersion(target->state.version)));
                                     return;
                                 }
                                 target->state.version =
                                     m_options.newVersion.value_or(NextVersion(target->state.version));
                                 m_log.Write(LogLine()
                                                 .Add("dev", target->state.number)
                                                 .Add("event", "version-changed")
                                                 .Add("version", FormatVersion(target->state.version)));
                             });
                             target->upgrading = false;
                             *done = true;
                         }),
                         done});
}

void FleetSimulator::Reply(size_t index, std::vector<uint8_t> bytes, const Incoming& in, uint32_t delayMs,
                           LogLine fields) {
    const uint32_t destination = m_options.unicastReplies ? in.peerIp : kReplyGroup;
    // Real units answer a group search over some milliseconds, not all at once.
    if (m_options.replyJitterMs > 0)
        delayMs += static_cast<uint32_t>(m_devices[index]->dice.Next() % (m_options.replyJitterMs + 1));
    if (delayMs == 0) {
        SendNow(index, destination, bytes, std::move(fields));
        return;
    }
    fields.Add("delayed_ms", delayMs);
    m_delayed.push({Clock::now() + std::chrono::milliseconds(delayMs), m_sendOrder++, index, destination,
                    std::move(bytes), std::move(fields)});
}

void FleetSimulator::SendNow(size_t index, uint32_t destination, const std::vector<uint8_t>& bytes,
                             LogLine fields) {
    Device& device = *m_devices[index];
    LogLine line;
    line.Add("dev", device.config.number)
        .Add("dir", "out")
        .Append(fields)
        .Add("len", static_cast<uint64_t>(bytes.size()))
        .Add("peer", Endpoint(destination, kReplyPort))
        .Add("from", FormatAddress(device.sourceIp));
    if (device.dice.Drop(device.config.faults.dropShare)) {
        m_log.Write(line.Add("dropped", true));
        return;
    }
    if (SendFrom(m_socket, device.sourceIp, destination, kReplyPort, bytes.data(), bytes.size()) < 0)
        line.Add("error", std::strerror(errno));
    m_log.Write(line);
}

void FleetSimulator::FireDueSends() {
    const auto now = Clock::now();
    while (!m_delayed.empty() && m_delayed.top().due <= now) {
        DelayedSend send = m_delayed.top();
        m_delayed.pop();
        SendNow(send.device, send.destination, send.bytes, std::move(send.fields));
    }
}

void FleetSimulator::ReapWorkers(bool all) {
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (all || *it->done) {
            // Workers watch m_stopping and return within a poll slice (100 ms).
            it->thread.join();
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
}

bool FleetSimulator::HearsOn(const Device& device, int interfaceIndex) const {
    if (!m_severalInterfaces || interfaceIndex <= 0) return true;
    const auto own = m_localAddresses.find(device.sourceIp);
    return own == m_localAddresses.end() || own->second == interfaceIndex;
}

bool FleetSimulator::IsLocal(uint32_t address) {
    if (m_localAddresses.count(address)) return true;
    if (Clock::now() - m_localAddressesRead < kLocalAddressCacheAge) return false;
    const auto fresh = LocalAddresses();
    m_localAddresses.clear();
    m_localAddresses.insert(fresh.begin(), fresh.end());
    m_localAddressesRead = Clock::now();
    return m_localAddresses.count(address) != 0;
}

}  // namespace devsim
