// A host packet as the simulated controller received it, and the replies it can send.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace drovo_sim {

// One command inside a host packet.
struct SimAction {
    uint8_t command = 0;
    uint8_t delay = 0;
    std::vector<uint8_t> data;  // the command's payload bytes, without command and delay
};

// One host packet: 0x02, time factor, action count, payload length (little-endian, 2 bytes),
// the actions, checksum.
struct SimPacket {
    std::vector<uint8_t> raw;  // the packet exactly as received
    uint8_t timeFactor = 0;
    uint8_t actionCount = 0;
    uint16_t payloadLength = 0;
    bool checksumOk = false;
    // True when the payload splits into actionCount known commands with their payload sizes;
    // `actions` is then filled, otherwise it is empty.
    bool decoded = false;
    std::vector<SimAction> actions;

    // Decodes `raw`, which holds one whole packet as framed by its header.
    static SimPacket FromBytes(const std::vector<uint8_t>& raw);
    // One line without line break, e.g.
    // "tf 10, 1 action, 4 payload bytes, checksum ok: Pulse delay 0 [01 0A]".
    std::string Describe() const;
    // True when some action carries `command`.
    bool Has(uint8_t command) const;
};

// The wire checksum: XOR of the bytes, then XOR 0xEA.
uint8_t SimChecksum(const uint8_t* bytes, size_t count);

// The name of a command code as the host's encoders know it ("Unknown 0xNN" otherwise).
std::string CommandName(uint8_t command);

// Controller replies: 0x02, type, length L, L payload bytes, checksum. Every reply built here
// is at least 6 bytes long, because the host's reader always asks for 6 bytes first.
namespace reply {

constexpr uint8_t kRefusal = 0xC4;
constexpr uint8_t kData = 0xC8;
constexpr uint8_t kAcknowledge = 0xC9;
constexpr uint8_t kBeltChange = 0xCC;
constexpr uint8_t kControllerError = 0xEE;

// A reply of `type` with `payload`, padded with zeros to two payload bytes.
std::vector<uint8_t> Make(uint8_t type, std::vector<uint8_t> payload);
// Acknowledgement of `command`: payload (command, 0).
std::vector<uint8_t> Acknowledge(uint8_t command);
// Refusal of `command` with `reason` (1-20 are the controller's reasons).
std::vector<uint8_t> Refuse(uint8_t command, uint8_t reason);
// One fault entry of a fault list.
struct Fault {
    uint8_t location;
    uint8_t busAddress;
    uint8_t code;
};
// Refusal with reason 10 carrying a fault list: (command, 10, N, N entries of 3 bytes).
// At most 84 entries fit the one-byte length.
std::vector<uint8_t> FaultList(uint8_t command, const std::vector<Fault>& faults);
// The firmware-version answer: (0x42, minor, major).
std::vector<uint8_t> Firmware(uint8_t major, uint8_t minor);
// The segment-list answer: (0x45, last tactor of each segment...). An empty list goes out as
// one segment ending at tactor 0, which keeps the reply at its minimum size.
std::vector<uint8_t> Segments(const std::vector<uint8_t>& lastTactors);
// A belt connect change: 0x70 disconnected, 0x71 connected.
std::vector<uint8_t> BeltChange(uint8_t reason);
// The controller's own error report.
std::vector<uint8_t> ControllerError();

}  // namespace reply

}  // namespace drovo_sim
