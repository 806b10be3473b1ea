#include "device_messages.h"

namespace devsim {
namespace {

uint32_t ReadLe32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void WriteLe32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

void WriteOctets(uint8_t* p, uint32_t address) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(address >> (24 - 8 * i));
}

std::vector<uint8_t> Header(size_t length, uint8_t code, int32_t number) {
    std::vector<uint8_t> message(length, 0);
    WriteLe32(message.data(), static_cast<uint32_t>(length));
    message[4] = code;
    WriteLe32(message.data() + 8, static_cast<uint32_t>(number));
    return message;
}

Command Rejected(Command command, const char* problem) {
    command.kind = CommandKind::Unknown;
    command.problem = problem;
    return command;
}

}  // namespace

uint32_t ChangeChecksum(const uint8_t* command) {
    uint32_t sum = 0;
    for (size_t offset = 12; offset <= 32; offset += 4) sum += ReadLe32(command + offset);
    return sum;
}

Command ParseCommand(const uint8_t* data, size_t length) {
    Command command;
    command.length = length;
    if (length < 5) return Rejected(command, "too short");
    command.code = data[4];
    switch (command.code) {
        case 0xF3:
            if (length != 12) return Rejected(command, "search probe is not 12 bytes");
            command.kind = CommandKind::SearchProbe;
            return command;
        case 0xF1:
        case 0xF6:
            if (length != 20) return Rejected(command, "range probe is not 20 bytes");
            command.kind = CommandKind::RangeProbe;
            return command;
        case 0xF0:
        case 0xF4: {
            const bool group = command.code == 0xF4;
            if (length != (group ? 48u : 40u))
                return Rejected(command, group ? "group address change is not 48 bytes"
                                               : "direct address change is not 40 bytes");
            command.kind = group ? CommandKind::ChangeGroup : CommandKind::ChangeDirect;
            command.presentIp = ReadLe32(data + 12);
            command.server = ReadLe32(data + 16);
            command.standby = ReadLe32(data + 20);
            command.newIp = ReadLe32(data + 24);
            command.gateway = ReadLe32(data + 28);
            command.mask = ReadLe32(data + 32);
            command.checksum = ReadLe32(data + 36);
            command.checksumOk = command.checksum == ChangeChecksum(data);
            if (group) command.numberLow = static_cast<uint16_t>(data[40] | (data[41] << 8));
            return command;
        }
        case 0xDF:
            if (length != 40) return Rejected(command, "upgrade command is not 40 bytes");
            if (ReadLe32(data) != kUpgradeMarker)
                return Rejected(command, "upgrade command without its marker");
            command.kind = CommandKind::Upgrade;
            return command;
        default:
            return Rejected(command, "unknown code");
    }
}

const char* CommandName(CommandKind kind) {
    switch (kind) {
        case CommandKind::SearchProbe:
            return "search-probe";
        case CommandKind::RangeProbe:
            return "range-probe";
        case CommandKind::ChangeDirect:
            return "change-direct";
        case CommandKind::ChangeGroup:
            return "change-group";
        case CommandKind::Upgrade:
            return "upgrade";
        case CommandKind::Unknown:
            break;
    }
    return "unknown";
}

std::vector<uint8_t> BuildSearchReply(const DeviceState& device) {
    std::vector<uint8_t> reply = Header(device.typeCode ? 56 : 52, 0xF1, device.number);
    uint8_t* p = reply.data();
    WriteLe32(p + 16, device.ip);
    WriteLe32(p + 20, device.mask);
    WriteLe32(p + 24, device.gateway);
    WriteOctets(p + 28, device.server);
    WriteOctets(p + 32, device.standby);
    for (size_t i = 0; i < 6; ++i) p[36 + i] = device.mac[i];  // unread by the tool; real units carry it here
    for (size_t i = 0; i < 4; ++i) p[44 + i] = device.version[i];
    if (device.typeCode) WriteLe32(p + 52, static_cast<uint32_t>(*device.typeCode));
    return reply;
}

std::vector<uint8_t> BuildShortChangeResult(int32_t number, bool success) {
    std::vector<uint8_t> reply = Header(20, 0xF0, number);
    WriteLe32(reply.data() + 16, success ? 1 : 0);
    return reply;
}

std::vector<uint8_t> BuildFullChangeResult(const DeviceState& device, bool success) {
    std::vector<uint8_t> reply = Header(52, 0xF2, device.number);
    uint8_t* p = reply.data();
    WriteLe32(p + 12, static_cast<uint32_t>(device.number));
    WriteLe32(p + 16, success ? 1 : 0);
    WriteLe32(p + 20, device.ip);
    WriteLe32(p + 24, device.mask);
    WriteLe32(p + 28, device.gateway);
    WriteOctets(p + 32, device.server);
    WriteOctets(p + 36, device.standby);
    return reply;
}

}  // namespace devsim
