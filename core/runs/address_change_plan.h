#pragma once

// What an address-change batch does with each chosen row, worked out without
// touching the network or the window: the device's new IP address by the edit
// type, the command's form (direct to a device in one of the workstation's
// segments, otherwise the group form) and its bytes, or why the row gets nothing.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "link/protocol.h"
#include "model/address_rules.h"
#include "model/device_settings_plan.h"
#include "model/device_table.h"
#include "model/ip_settings_store.h"
#include "support/ipv4.h"

namespace quillane {

// How each device's new IP address is formed (the items of the dialog's combo box).
enum EditType : int {
    kEditIncrease = 0,       // consecutive addresses, last octet 1..249
    kEditKeepLastOctet = 1,  // a.b.c entered, d the device's own
    kEditKeepLastTwoOctets = 2,
    kEditKeepLastThreeOctets = 3,
};

// Automatic increase: the last octet runs from 1 to 249, then the third octet
// goes up; the first octet never leaves the range the IP settings dialog
// accepts, so no device is ever given a multicast or reserved address.
inline constexpr uint32_t kLowestIncreasedLastOctet = 1;
inline constexpr uint32_t kFirstUnusedLastOctet = 250;
inline constexpr uint32_t kHighestIncreasedFirstOctet = 223;

// The settings the operator confirmed, as the batch applies them: the ticked
// fields are given (the IP address as the first of the edit type's run), the
// others stay as each device has them, as in an address plan's entry.
struct AddressChangeSettings {
    DeviceSettings given;
    int editType = kEditIncrease;
};

// The IP settings dialog's confirmed entries as a batch applies them.
AddressChangeSettings SettingsFromDialog(const IpSettingsValues& entered);

// The batch's running address: where the next device's new address comes from.
class RunningAddress {
public:
    RunningAddress(int editType, bool changeIp, IPv4Address entered);

    enum class Outcome { kAddress, kUnknownEditType, kRangeError };
    struct NewAddress {
        Outcome outcome = Outcome::kAddress;
        IPv4Address address;
    };
    // The new address of the device now at `present`. With no IP change the
    // running address is the device's own, so only automatic increase moves
    // it, and only off a last octet of 250 or more.
    NewAddress For(IPv4Address present);
    // After the command went out: automatic increase moves on to the next
    // address. False when the addresses ran out (the range error).
    bool Advance();

private:
    int m_editType;
    bool m_changeIp;
    IPv4Address m_running;
};

// Devices listed per low 16 bits of their number: the group form reaches all of them.
using GroupNumberCounts = std::unordered_map<uint16_t, int>;
GroupNumberCounts CountGroupNumbers(const std::vector<std::string>& deviceNumberCells);

// A direct command to `address` must reach this one device: never to 0.0.0.0,
// a multicast address, or the broadcast address of the device's own subnet or
// of the workstation's segment it lies in (255.255.255.255 is one of those).
bool IsSingleHostTarget(IPv4Address address, IPv4Address ownMask, IPv4Address segmentMask);

// One chosen row's part in the batch.
struct RowPlan {
    enum class Action {
        kSend,         // mark waiting, send `command` to `destination`
        kRefuse,       // show the failure text at once: see `refusal`
        kSendNothing,  // mark waiting, send nothing (no such edit type)
        kRangeError,   // mark waiting, send nothing, end the batch with the range error
    };
    Action action = Action::kSend;
    IPv4Address destination;  // the device's present address, or the command group
    bool groupForm = false;
    AddressChangeValues values;  // kSend: the settings the command carries
    Datagram command;
    FailureReason refusal = FailureReason::kNone;  // kRefuse: why
    UnusableSetting unusable;                      // kUnusableSetting: which setting and its fault
};

class AddressChangePlanner {
public:
    // With `plan`, each device gets exactly its entry's settings and the
    // settings' edit type and entries are not used.
    AddressChangePlanner(const AddressChangeSettings& settings, std::vector<std::string> localIps,
                         std::vector<std::string> localMasks, IPv4Address commandGroup,
                         GroupNumberCounts groups, const DeviceSettingsPlan* plan = nullptr);

    // The plan for a chosen row of the table.
    RowPlan PlanRow(const DeviceRow& cells);
    // To be called once the row's command went out, or the row was refused
    // an unusable new address (the next device must not be given it again);
    // false: the range error.
    bool CommandSent();

private:
    static RowPlan Only(RowPlan::Action action, FailureReason why = FailureReason::kNone) {
        RowPlan plan;
        plan.action = action;
        plan.refusal = why;
        return plan;
    }
    // The settings given, the device's own for the others.
    static AddressChangeValues GivenValues(const DeviceSettings& given, const DeviceRow& cells);
    // kSend, or kRefuse when a new setting would lose the device.
    static RowPlan SendUnlessUnusable(RowPlan plan, const DeviceRow& cells);

    AddressChangeSettings m_settings;
    std::vector<std::string> m_localIps, m_localMasks;
    IPv4Address m_commandGroup;
    GroupNumberCounts m_groups;
    RunningAddress m_running;
    const DeviceSettingsPlan* m_plan;
};

}  // namespace quillane
