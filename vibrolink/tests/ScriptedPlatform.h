// An in-process platform whose reads and writes a test scripts, for driving a Device (and the
// device manager above it) without hardware.
//
// Reads are answered, in this order, from: the queue of scripted read steps (one step per Read
// call, exactly as scripted), then the inbound byte stream (Feed), which answers like the
// serial module: all bytes wanted when they are there, a partial read when only some are, and
// "nothing to read" when it is empty. Every write is recorded; an optional auto-reply feeds an
// answer for each written packet. All members are thread-safe.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "PlatformInterface.h"

using Bytes = std::vector<uint8_t>;

// A controller reply: start byte, type, payload length, payload, checksum.
Bytes MakeReply(uint8_t type, const Bytes& payload);
// The acknowledgement a controller sends for a packet (two payload bytes, six in all).
Bytes MakeAck(uint8_t command = 0x00);

class ScriptedPlatform : public PlatformInterface {
  public:
    // The answer to one Read call.
    struct ReadStep {
        int32_t result;  // what Read returns
        int32_t error;   // GetLastPlatformError after a negative result
        Bytes bytes;     // copied into the buffer; the count read is their number
    };
    // Produces the bytes to feed after a packet has been written.
    using AutoReply = std::function<Bytes(const Bytes& written)>;

    // Answers every written packet with an acknowledgement, and the firmware request with a
    // firmware answer of the given major byte when major is not negative.
    static AutoReply AckEverything(int32_t firmwareMajor = -1);

    int32_t Init() override;
    int32_t GetLastPlatformError() override;
    int32_t Discover(std::vector<std::string>& names, const CancelFlag* cancel,
                     int32_t limit) override;
    int32_t Connect(Device* device) override;
    int32_t Close(Device* device) override;
    int32_t Read(Device* device, int32_t bytesWanted, uint8_t* buffer, int32_t* bytesRead,
                 int32_t mode) override;
    int32_t Write(Device* device, const uint8_t* bytes, int32_t count) override;

    // Scripting.
    void QueueRead(const Bytes& bytes);  // a successful read of exactly these bytes
    void QueueReadError(int32_t error, const Bytes& bytes = {});
    void Feed(const Bytes& bytes);
    void SetAutoReply(AutoReply reply);
    void SetConnectResult(int32_t result, int32_t error);
    void SetInitResult(int32_t result, int32_t error);
    void SetWriteResult(int32_t result);
    void SetDiscoveredNames(std::vector<std::string> names);
    // The error of a read that finds nothing scripted and nothing fed; 202008 by default.
    void SetIdleReadError(int32_t error);

    // Observation.
    std::vector<Bytes> Writes() const;
    // Waits until at least count packets were written; false after timeoutMs.
    bool WaitForWrites(size_t count, int timeoutMs = 10000) const;
    int32_t CloseCount() const;
    int32_t InitCount() const;
    std::vector<int32_t> WantedCounts() const;  // bytesWanted of every Read call, in order
    std::vector<int32_t> ReadModes() const;     // mode of every Read call, in order

  private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_written;
    std::deque<ReadStep> m_steps;
    Bytes m_stream;
    AutoReply m_autoReply;
    std::vector<Bytes> m_writes;
    std::vector<int32_t> m_wanted;
    std::vector<int32_t> m_modes;
    std::vector<std::string> m_names;
    int32_t m_lastError = 0;
    int32_t m_idleReadError = 202008;
    int32_t m_connectResult = 0;
    int32_t m_connectError = 0;
    int32_t m_initResult = 0;
    int32_t m_initError = 0;
    int32_t m_writeResult = 0;
    int32_t m_closeCount = 0;
    int32_t m_initCount = 0;
};
