#include "SimPacket.h"

#include <cstdio>

namespace drovo_sim {
namespace {

struct CommandInfo {
    uint8_t code;
    const char* name;
    int payload;  // bytes after command and delay; -1: 0 or 1 (the two stop commands)
};

const CommandInfo kCommands[] = {
    {0x01, "Stop", -1},
    {0x11, "Pulse", 2},
    {0x12, "SetFreq", 3},
    {0x15, "SetSigSource", 2},
    {0x1A, "PlayRecorded", 1},
    {0x1B, "StartRecord", 1},
    {0x1D, "FinishRecord", 0},
    {0x1F, "Wait", 2},
    {0x20, "SetGain", 2},
    {0x2A, "Ramp", 8},
    {0x30, "SelfTest", 0},
    {0x33, "SetTactorType", 2},
    {0x3A, "ReadBatteryLevel", 0},
    {0x42, "ReadFirmwareVersion", 0},
    {0x45, "ReadSegmentList", 0},
    {0x53, "ReadCurrent", 0},
    {0x80, "SetTactors", 8},
    {0xA2, "SetFreqTimeDelayState", 1},
};

const CommandInfo* FindCommand(uint8_t code) {
    for (const CommandInfo& info : kCommands) {
        if (info.code == code) {
            return &info;
        }
    }
    return nullptr;
}

// Splits bytes [at, end) into `left` actions. The stop command comes with and without its
// sequence byte, so both sizes are tried; the packet's byte count settles which was sent.
bool Split(const std::vector<uint8_t>& raw, size_t at, size_t end, int left,
           std::vector<SimAction>* actions) {
    if (left == 0 || at >= end) {
        return left == 0 && at == end;
    }
    if (end - at < 2) {
        return false;
    }
    const CommandInfo* info = FindCommand(raw[at]);
    if (!info) {
        return false;
    }
    for (int size : {info->payload < 0 ? 0 : info->payload, info->payload < 0 ? 1 : -1}) {
        if (size < 0 || at + 2 + size > end) {
            continue;
        }
        actions->push_back(
            SimAction{raw[at], raw[at + 1],
                      std::vector<uint8_t>(raw.begin() + at + 2, raw.begin() + at + 2 + size)});
        if (Split(raw, at + 2 + size, end, left - 1, actions)) {
            return true;
        }
        actions->pop_back();
    }
    return false;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char digits[4];
    for (uint8_t byte : bytes) {
        snprintf(digits, sizeof digits, text.empty() ? "%02X" : " %02X", byte);
        text += digits;
    }
    return text;
}

}  // namespace

uint8_t SimChecksum(const uint8_t* bytes, size_t count) {
    uint8_t sum = 0;
    for (size_t i = 0; i < count; ++i) {
        sum ^= bytes[i];
    }
    return static_cast<uint8_t>(sum ^ 0xEA);
}

std::string CommandName(uint8_t command) {
    const CommandInfo* info = FindCommand(command);
    if (info) {
        return info->name;
    }
    char text[16];
    snprintf(text, sizeof text, "Unknown 0x%02X", command);
    return text;
}

SimPacket SimPacket::FromBytes(const std::vector<uint8_t>& raw) {
    SimPacket packet;
    packet.raw = raw;
    if (raw.size() < 6) {
        return packet;
    }
    packet.timeFactor = raw[1];
    packet.actionCount = raw[2];
    packet.payloadLength = static_cast<uint16_t>(raw[3] | (raw[4] << 8));
    packet.checksumOk = SimChecksum(raw.data(), raw.size() - 1) == raw.back();
    std::vector<SimAction> actions;
    if (5u + packet.payloadLength + 1 == raw.size() &&
        Split(raw, 5, 5 + packet.payloadLength, packet.actionCount, &actions)) {
        packet.decoded = true;
        packet.actions = std::move(actions);
    }
    return packet;
}

std::string SimPacket::Describe() const {
    char head[96];
    snprintf(head, sizeof head, "tf %u, %u action%s, %u payload bytes, checksum %s: ", timeFactor,
             actionCount, actionCount == 1 ? "" : "s", payloadLength, checksumOk ? "ok" : "BAD");
    std::string text = head;
    if (!decoded) {
        return text + "undecodable [" + Hex(raw) + "]";
    }
    for (size_t i = 0; i < actions.size(); ++i) {
        const SimAction& action = actions[i];
        text += (i ? "; " : "") + CommandName(action.command) + " delay " +
                std::to_string(action.delay) + " [" + Hex(action.data) + "]";
    }
    return text;
}

bool SimPacket::Has(uint8_t command) const {
    for (const SimAction& action : actions) {
        if (action.command == command) {
            return true;
        }
    }
    return false;
}

namespace reply {

std::vector<uint8_t> Make(uint8_t type, std::vector<uint8_t> payload) {
    payload.resize(std::max<size_t>(payload.size(), 2), 0);
    std::vector<uint8_t> bytes;
    bytes.reserve(payload.size() + 4);
    bytes.push_back(0x02);
    bytes.push_back(type);
    bytes.push_back(static_cast<uint8_t>(payload.size()));
    for (uint8_t byte : payload) {
        bytes.push_back(byte);
    }
    bytes.push_back(SimChecksum(bytes.data(), bytes.size()));
    return bytes;
}

std::vector<uint8_t> Acknowledge(uint8_t command) {
    return Make(kAcknowledge, {command, 0});
}

std::vector<uint8_t> Refuse(uint8_t command, uint8_t reason) {
    return Make(kRefusal, {command, reason});
}

std::vector<uint8_t> FaultList(uint8_t command, const std::vector<Fault>& faults) {
    std::vector<uint8_t> payload = {command, 10, static_cast<uint8_t>(faults.size())};
    for (const Fault& fault : faults) {
        payload.insert(payload.end(), {fault.location, fault.busAddress, fault.code});
    }
    return Make(kRefusal, payload);
}

std::vector<uint8_t> Firmware(uint8_t major, uint8_t minor) {
    return Make(kData, {0x42, minor, major});
}

std::vector<uint8_t> Segments(const std::vector<uint8_t>& lastTactors) {
    std::vector<uint8_t> payload = {0x45};
    payload.insert(payload.end(), lastTactors.begin(), lastTactors.end());
    return Make(kData, payload);
}

std::vector<uint8_t> BeltChange(uint8_t reason) {
    return Make(kBeltChange, {reason, 0});
}

std::vector<uint8_t> ControllerError() {
    return Make(kControllerError, {0, 0});
}

}  // namespace reply

}  // namespace drovo_sim
