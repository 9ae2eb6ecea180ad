// One connected tactor controller and the update thread that does all of its wire traffic.
//
// Threads: client threads queue actions (AddToList, WriteRaw through the manager) and read
// state; the device's own UpdateThread sends batches, reads, processes replies, runs the error
// handler and calls every callback.
//
// Locks: m_Lock (recursive) guards m_pActions, m_iActionCount, m_Segments and the whole of
// Disconnect. It is never held while a callback runs or while the platform reads or writes.
// Fields that one thread writes while another polls them are atomics; the counters of the
// reader, the reply processing and the error handler are written only on UpdateThread.
//
// Lifecycle: construct, Connect once (which starts UpdateThread), then Device::Destroy. Destroy
// stops the thread and waits for it, or, when called on the device's own thread (from inside a
// callback), leaves the release to the thread as it ends.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "Action.h"
#include "Vibrolink.h"  // the client callback types
#include "DrovoIoRecord.h"
#include "MMTimer.h"
#include "PlatformInterface.h"
#include "ReadPacket.h"
#include "Timer.h"

class ReplyPayload;

// Slots in a device's outgoing list.
constexpr int32_t kActionListSlots = 1000;
// The largest wire packet, and so the size of the framing buffer and of m_LastWrite.
constexpr int32_t kMaxPacketBytes = 1024;
// Bytes of the device's platform read buffer.
constexpr int32_t kReadBufferBytes = 512;
// Longest port name a device accepts, in characters.
constexpr size_t kMaxPortNameLength = 511;

// A segment the controller reported: its first and last tactor.
using Segment = std::pair<int32_t, int32_t>;

class Device {
  public:
    Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // Stops the device's thread and releases the device (the destruction step). Waits for the
    // thread without time limit, unless called on that thread, in which case the thread releases
    // the device as it ends and the caller must not touch it afterwards. Accepts nullptr.
    static void Destroy(Device* device);

    // Opens portName on the platform of platformType, starts UpdateThread, queues the firmware
    // request and waits until it has been written and one platform read has succeeded.
    // Blocks; cancel is polled meanwhile. Returns 0, or -1 with m_iLastError set.
    int32_t Connect(const char* portName, int32_t platformType, ResponseCallback callback,
                    const CancelFlag* cancel);
    // Closes the platform connection and resets the connection fields under m_Lock. Called by
    // UpdateThread as it ends. Returns the platform's close result, -1 without a platform.
    int32_t Disconnect();
    // Queues the connect-time firmware request (time factor 10). Returns AddToList's result.
    int32_t RequestFirmwareVersion();
    // Sleeps ms milliseconds when the port is a Bluetooth virtual serial port.
    void WaitIfBluetoothPort(uint32_t ms);
    // The worker loop; runs on the device's own thread.
    void UpdateThread();

    // Outgoing list. AddToList takes ownership of the queued records (0) or leaves them with
    // the caller (-1, m_iLastError set). Thread-safe.
    int32_t AddToList(Action* action);
    int32_t AddToList(Action* const* actions, int32_t count);
    // Releases every queued record and clears m_iAwaitingResponse. Takes m_Lock.
    void ClearActionList();
    // Moves the next batch into batch (room for kActionListSlots records) and sets *count when
    // the list is not empty. Caller holds m_Lock.
    void TakeNextBatch(Action** batch, int32_t* count);
    // Checks a batch, frames and sends it; releases its records either way. Returns the write
    // result or -1. UpdateThread only.
    int32_t CreateActionList(Action** batch, int32_t count);
    // Frames the batch into one packet, releases the records and writes the packet.
    int32_t SendActionList(Action** batch, int32_t count, int32_t payloadLength);
    // Writes bytes unchanged; on success awaits a reply and tells the outgoing-data callback.
    // Counts the attempt in m_iPacketsSent. Returns the platform's write result.
    int32_t WriteRaw(const uint8_t* bytes, int32_t length);
    // 192, 64, or -1 for a controller that takes no action lists.
    int32_t GetMaxActions() const;

    // Reader: one platform read at most per call. Returns 0, or -1 to pause the loop. UpdateThread
    // only.
    int32_t Read(ReadPacket* rp, int32_t awaiting);
    // Appends count bytes to the packet; -1 when the packet was thrown away.
    int32_t AddToPacketData(ReadPacket* rp, const uint8_t* bytes, int32_t count);
    // Clears the packet and returns the reader to asking for 6 bytes; keeps m_iFailedReads.
    static void ResetReadPacket(ReadPacket* rp);

    // Interprets one complete reply. Returns 0, or -1 for a bad checksum or a 0xEE reply.
    int32_t ProcessPacket(const uint8_t* packet, int32_t length);
    // Resend, probe or close according to the error counters. UpdateThread only.
    void ErrorHandler();

    // A copy of the segment list the controller reported.
    std::vector<Segment> GetSegments() const;

    // Fields, in the order the rest of the library knows them.
    PlatformInterface* m_pPlatform = nullptr;  // not owned: platforms are process-wide
    MMTimer m_WaitTimer;                       // one 1 ms pause of the loop and the connect waits
    std::atomic<int32_t> trialCounter{0};      // errors since the last good answer
    std::atomic<uint8_t> m_bCloseOnNak{1};     // 1 act on errors, 0 testing mode
    std::atomic<int32_t> ls_trialCounter{0};   // last step taken: 0 none, 1 resent, 2 probed
    std::atomic<int32_t> _alerterror{0};       // resends and probes made while acting
    std::atomic<uint8_t> m_bStoringHapset{0};  // between BeginStoreHapset and FinishStoreHapset
    std::atomic<int32_t> m_iFirmwareMajor{-1};
    std::atomic<int32_t> m_iFirmwareMinor{-1};
    // Owned copy of the connected port name. Set by Connect before the thread starts and
    // released by Disconnect under m_Lock, so readers on other threads take m_Lock.
    char* m_pPortName = nullptr;
    std::atomic<int32_t> m_iPlatformType{0};
    std::vector<Segment> m_Segments;  // guarded by m_Lock
    std::atomic<uint8_t> m_bFirmwareRequestPending{0};
    mutable std::recursive_mutex m_Lock;
    std::thread m_hThread;                 // UpdateThread
    std::atomic<uint32_t> m_iThreadId{0};  // kernel thread id, set by the thread itself
    void* m_hConnection = nullptr;         // the transport's handle for this connection
    DrovoIoRecord m_WriteOverlapped{};
    DrovoIoRecord m_ReadOverlapped{};
    utl::Timer m_ElapsedTimer;                  // time stamps of the trace lines
    std::atomic<int32_t> m_ID{0};               // given by the manager; -1 once disconnected
    Action* m_pActions[kActionListSlots] = {};  // guarded by m_Lock
    std::atomic<int32_t> m_iActionCount{0};     // written under m_Lock
    std::atomic<int32_t> m_iLastError{0};
    std::atomic<int32_t> m_iAwaitingResponse{0};  // a sent packet waits for its answer
    std::atomic<int32_t> m_iConnected{0};         // 1 connected, 0 closed, -1 failed or closing
    int32_t m_iLastWriteLength = 0;               // UpdateThread only
    uint8_t m_LastWrite[kMaxPacketBytes] = {};    // UpdateThread only
    uint8_t m_ReadBuffer[kReadBufferBytes] = {};  // UpdateThread only
    std::atomic<int32_t> m_iReadStarted{0};       // reading from the platform works
    ReadPacket m_ReadPacket;                      // UpdateThread only
    std::atomic<ResponseCallback> m_pResponseCallback{nullptr};
    std::atomic<OutgoingDataCallback> m_pOutgoingDataCallback{nullptr};
    std::atomic<ResponseCallback> m_pHapsetPacketCallback{nullptr};  // the manager's packet hook
    std::atomic<TactorStateCallback> m_pTactorStateCallback{nullptr};
    std::atomic<int32_t> m_iPacketsSent{0};    // write attempts
    std::atomic<uint8_t> m_bThreadRunning{0};  // UpdateThread is in its loop
    std::atomic<uint8_t> m_bKeepRunning{1};    // cleared to ask UpdateThread to stop
    std::atomic<uint8_t> m_bHoldThread{1};     // UpdateThread waits while set

  private:
    ~Device();

    // Asks the thread to stop and waits for it. Returns false when called on the thread itself,
    // which then releases the device as it ends.
    bool Close();
    int32_t FailConnect(int32_t line, int32_t code);
    int32_t StartThread();
    int32_t AwaitFirstExchange(const CancelFlag& cancel);
    void ResetConnectionFields();
    void ReleasePortName();
    const char* PortNameForLog() const;

    void RunLoop();
    void ReportPulses();
    void SendNextBatch();
    void StopOnItsOwn();
    int32_t ListBound() const;

    void Trace(const char* label, const uint8_t* bytes, int32_t count);
    void TracePacket(const char* label, const ReadPacket* rp);
    void DiscardPacket(ReadPacket* rp);
    int32_t ReadFirstChunk(ReadPacket* rp, int32_t bytesRead);
    int32_t ReadNextChunk(ReadPacket* rp, int32_t bytesRead);
    int32_t ReadFailed(ReadPacket* rp, int32_t bytesRead);
    int32_t ReadPartial(ReadPacket* rp, int32_t bytesRead);

    void ClearErrorCounters();
    void ProcessDataAnswer(const ReplyPayload& payload);
    void ProcessBeltChange(const uint8_t* packet, int32_t length, const ReplyPayload& payload);
    void ProcessRefusal(const uint8_t* packet, int32_t length, const ReplyPayload& payload);
    void ProcessFaultList(const uint8_t* packet, int32_t length, const ReplyPayload& payload);

    void GiveUpAfterAlerts();
    void ResendLastWrite();
    void SendFirmwareProbe();
    void CloseAfterErrors();

    std::atomic<uint8_t> m_bReleaseWhenThreadEnds{0};  // Destroy ran on UpdateThread
    // Serialises platform writes: WriteRaw also runs on client threads (WriteToBoard), and the
    // transport keeps one write record per connection. Never held with m_Lock.
    std::mutex m_WriteLock;
};

// XOR of the bytes, then XOR 0xEA; the checksum of outgoing and incoming packets.
uint8_t ComputeChecksum(const uint8_t* bytes, int32_t count);
