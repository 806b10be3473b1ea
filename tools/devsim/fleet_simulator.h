#pragma once

// One process playing a whole fleet: a single socket on 0.0.0.0:25000 joined
// to 224.0.2.0 takes every command; the address a datagram was sent to
// (IP_PKTINFO) says which device it is for, and each reply leaves from the
// address of the device that sends it. Upgrades run on threads of their own.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <queue>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "device_config.h"
#include "device_messages.h"
#include "drop_dice.h"
#include "event_log.h"

namespace devsim {

struct SimulatorOptions {
    bool unicastReplies = false;                       // answer the sender instead of 224.0.3.0
    std::optional<std::array<uint8_t, 4>> newVersion;  // after an upgrade; default: version + 1
    uint64_t seed = 1;
    uint32_t burstWindowMs = 1000;  // copies of one upgrade command within this count once
    uint32_t replyJitterMs = 0;     // each reply leaves up to this much later (seeded)
};

class FleetSimulator {
public:
    FleetSimulator(const std::vector<DeviceConfig>& fleet, const SimulatorOptions& options, EventLog& log);
    ~FleetSimulator();
    FleetSimulator(const FleetSimulator&) = delete;
    FleetSimulator& operator=(const FleetSimulator&) = delete;

    // Opens the command socket and checks that every device address exists here.
    bool Start(std::string& error);
    // Serves until `stopFd` (a signalfd or pipe) becomes readable.
    void Run(int stopFd);

private:
    using Clock = std::chrono::steady_clock;

    struct Device {
        DeviceConfig config;
        DeviceState state;      // guarded by m_stateMutex (upgrade threads change the version)
        uint32_t sourceIp = 0;  // replies leave from here
        DropDice dice;
        Clock::time_point lastUpgradeCommand{};
        bool upgradeCommandSeen = false;
        std::atomic<bool> upgrading{false};
        uint32_t upgrades = 0;
    };

    struct DelayedSend {
        Clock::time_point due;
        uint64_t order = 0;
        size_t device = 0;
        uint32_t destination = 0;
        std::vector<uint8_t> bytes;
        LogLine fields;
        bool operator>(const DelayedSend& other) const {
            return due != other.due ? due > other.due : order > other.order;
        }
    };

    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    struct Incoming {
        const uint8_t* data;
        size_t length;
        uint32_t destination;
        uint32_t peerIp;
        uint16_t peerPort;
        int interfaceIndex;  // the card it came in on
    };

    void DrainSocket();
    void Dispatch(const Incoming& in);
    void HandleForDevice(size_t index, const Command& command, const Incoming& in);
    void HandleChange(size_t index, const Command& command, const Incoming& in, LogLine& received);
    void HandleUpgrade(size_t index, LogLine& received);
    void Reply(size_t index, std::vector<uint8_t> bytes, const Incoming& in, uint32_t delayMs,
               LogLine fields);
    void SendNow(size_t index, uint32_t destination, const std::vector<uint8_t>& bytes, LogLine fields);
    void FireDueSends();
    void ReapWorkers(bool all);
    bool IsLocal(uint32_t address);
    bool HearsOn(const Device& device, int interfaceIndex) const;
    int PollTimeoutMs() const;

    std::vector<std::unique_ptr<Device>> m_devices;
    std::unordered_map<uint32_t, size_t> m_byAddress;
    std::unordered_set<uint32_t> m_broadcasts;  // directed broadcast addresses of the devices' subnets
    SimulatorOptions m_options;
    EventLog& m_log;
    int m_socket = -1;
    std::mutex m_stateMutex;
    std::priority_queue<DelayedSend, std::vector<DelayedSend>, std::greater<DelayedSend>> m_delayed;
    uint64_t m_sendOrder = 0;
    std::list<Worker> m_workers;
    std::atomic<bool> m_stopping{false};
    std::unordered_map<uint32_t, int> m_localAddresses;  // address -> interface index
    // Devices on cards of their own (lab --own-macs): a datagram for everyone
    // comes in once per card, and each device hears only its own card's copy.
    bool m_severalInterfaces = false;
    int m_firstInterface = 0;
    Clock::time_point m_localAddressesRead{};
};

}  // namespace devsim
