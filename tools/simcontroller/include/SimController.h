// A simulated tactor controller on a pseudo-terminal, for tests, demonstrations and benchmarks.
//
// It opens a pseudo-terminal in raw mode and plays the controller's side of the wire protocol
// on it: the host connects to PortName() exactly as to a real serial port. Every host packet is
// decoded, recorded and answered from a worker thread:
//   - a packet whose checksum is wrong is refused with reason 2;
//   - a packet whose actions cannot be decoded is refused with reason 4 (unknown command) or 3
//     (the byte count does not add up);
//   - a firmware-version request (0x42) is answered with the configured version, a
//     segment-list request (0x45) with the configured segments (both when a packet holds both);
//   - any other packet is acknowledged with (its first command code, 0).
// Faults can be injected: a one-shot reply instead of the normal one (a refusal with any reason,
// a fault list, any bytes), silence, replies split into chunks with pauses or preceded by junk,
// unsolicited reports (belt change, 0xEE, any bytes) and a hang-up.
//
// Thread safety: every member function may be called from any thread while the controller runs.
// The packet observer runs on the worker thread without any of the controller's locks held, so
// it may call back into the controller. Lifecycle: the constructor opens the terminal and starts
// the worker (check Ok()); the destructor stops and joins the worker and closes the terminal.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SimPacket.h"

namespace drovo_sim {

class SimController {
  public:
    SimController();
    ~SimController();
    SimController(const SimController&) = delete;
    SimController& operator=(const SimController&) = delete;

    // True when the pseudo-terminal opened and the worker runs.
    bool Ok() const;
    // The name to connect to, such as "/dev/pts/3".
    const std::string& PortName() const;

    // What the controller reports about itself (default firmware 0x22.05, one segment of 8).
    void SetFirmware(uint8_t major, uint8_t minor);
    void SetSegments(std::vector<uint8_t> lastTactors);

    // One-shot replies: the next host packets are answered, in order, with these instead of the
    // normal reply (each queued reply serves one packet). Refusals and fault lists name the
    // first command of the packet they answer.
    void ReplyNextWith(std::vector<uint8_t> bytes);
    void RefuseNext(uint8_t reason);
    void FaultListNext(const std::vector<reply::Fault>& faults);

    // While silent, packets are recorded but not answered.
    void SetSilent(bool silent);
    // Replies (and unsolicited reports) go out in pieces of `chunkSize` bytes with `pause`
    // between them; 0 sends them whole.
    void SetChunking(size_t chunkSize, std::chrono::milliseconds pause);
    // Bytes sent before every reply and report; empty for none.
    void SetJunkPrefix(std::vector<uint8_t> junk);

    // Unsolicited reports, sent at once (with chunking and junk as configured).
    void SendBeltChange(uint8_t reason);
    void SendControllerError();
    void Send(const std::vector<uint8_t>& bytes);

    // Closes the controller's end of the terminal: the host sees a hang-up. Waits until done.
    void HangUp();

    // Every packet received so far, in order.
    std::vector<SimPacket> Packets() const;
    size_t PacketCount() const;
    // Waits until at least `count` packets have been received or `timeout` has passed.
    // Returns true when they have.
    bool WaitForPackets(size_t count, std::chrono::milliseconds timeout) const;
    // Called for every packet received, on the worker thread (see the top of this header).
    void SetPacketObserver(std::function<void(const SimPacket&)> observer);

  private:
    using ReplyMaker = std::function<std::vector<uint8_t>(const SimPacket&)>;

    void QueueReply(ReplyMaker maker);
    void Run();
    void TakeBytes(const uint8_t* bytes, size_t count);
    void HandlePacket(const std::vector<uint8_t>& raw);
    std::vector<uint8_t> NormalReply(const SimPacket& packet);
    void Write(const std::vector<uint8_t>& bytes);
    void WriteAll(const uint8_t* bytes, size_t count);

    // Lock order: m_writeLock may be taken while m_lock is not held; never the reverse.
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::mutex m_writeLock;  // keeps one reply's pieces together on the wire

    int m_master = -1;    // controller's end; closed by the worker on hang-up (m_lock)
    int m_terminal = -1;  // kept open so the controller's end never sees "no one attached"
    std::string m_portName;
    bool m_stop = false;             // m_lock
    bool m_hangUpRequested = false;  // m_lock
    bool m_hungUp = false;           // m_lock

    uint8_t m_firmwareMajor = 0x22;                    // m_lock
    uint8_t m_firmwareMinor = 0x05;                    // m_lock
    std::vector<uint8_t> m_segments = {8};             // m_lock
    std::deque<ReplyMaker> m_oneShotReplies;           // m_lock
    bool m_silent = false;                             // m_lock
    size_t m_chunkSize = 0;                            // m_lock
    std::chrono::milliseconds m_chunkPause{0};         // m_lock
    std::vector<uint8_t> m_junk;                       // m_lock
    std::vector<SimPacket> m_packets;                  // m_lock
    std::function<void(const SimPacket&)> m_observer;  // m_lock

    std::vector<uint8_t> m_incoming;  // worker thread only: bytes not yet framed
    std::thread m_worker;
};

}  // namespace drovo_sim
