// The transport that links two brokers of one machine through a named pipe. Over the pipe go
// serialised mailbox messages and control messages; the only control command tells the peer
// which addresses are registered on this side. A monitor thread reports connection changes to
// the broker every 10 ms.
//
// Locks: pipeLock guards the pipe pointer for its readers and every write through the pipe. It
// is taken with the broker's lock held (Send, OnLocalAddressesChanged) and is never held while
// reporting into the broker or while a pipe is destroyed (destroying waits for the pipe's read
// thread, which may be waiting for the broker). subscribeLock serialises the two operations that
// replace the pipe; it is taken before pipeLock, never after.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "DrovoCommonExport.h"
#include "MailboxTransport.h"

class Mailbox;
class NamedPipe;

enum MailboxPipeMode : uint32_t {
    MAILBOX_PIPE_MODE_SERVER = 1,
    MAILBOX_PIPE_MODE_CLIENT = 2,
};

// The bytes FF 00 FF 00 at the start of a control message.
constexpr uint32_t MAILBOX_PIPE_CONTROL_MAGIC = 0x00FF00FF;
// Data: a little-endian 32-bit count n, then n four-byte addresses in ascending order.
constexpr uint8_t MAILBOX_PIPE_CONTROL_COMMAND_UPDATE_ADDRESSES = 1;

class DROVO_COMMON_API MailboxPipe : public MailboxTransport {
  public:
    // Starts the monitor thread.
    MailboxPipe();
    // Closes and destroys the pipe, then stops the monitor thread.
    ~MailboxPipe() override;

    // Stores the mode (MailboxPipeMode).
    void Initialize(uint16_t mode) override;
    // Closes and destroys the pipe, as UnsubscribeFromRemote.
    void Shutdown() override;
    // All bits set when not connected; otherwise the pipe's SendData result (0 on failure).
    uint64_t Send(const uint8_t* bytes, uint64_t length) override;
    // Creates the pipe for the stored mode; connecting goes on in the pipe's read thread. False
    // when a pipe exists already or the name is refused. Throws MailboxError("Unsupported pipe
    // mode!") before Initialize with 1 or 2. The port is not used.
    bool SubscribeToRemote(const char* pipeName, uint16_t port) override;
    // False without a pipe; otherwise closes and destroys it. Not to be called from a client
    // callback that runs on the pipe's own read thread.
    bool UnsubscribeFromRemote() override;
    // Registered when the peer's last address list holds the name's address.
    MailboxAddressStatus GetRemoteAddressStatus(const char* name) override;
    bool IsSubscribedToRemote() override;
    // Sends the update control message; above 1024 addresses it prints a line and sends nothing.
    void OnLocalAddressesChanged(const uint32_t* addresses, uint64_t count) override;

  private:
    void WriteControlMessage(uint8_t command, const void* data, uint16_t length);
    static bool CheckIsControlMessage(const uint8_t* bytes, uint16_t length);
    void ParseControlMessage(const uint8_t* bytes, uint16_t length);
    void MailboxPipeReadDataCallback(const uint8_t* bytes, uint16_t length);
    void CheckConnectionStatusChanged();
    static void MailboxPipeReadThunk(void* context, uint8_t* bytes, uint64_t length);
    void MailboxPipeMonitorThread();

    NamedPipe* pipe;  // owned; written holding both locks, read under either
    std::atomic<uint32_t> pipeMode;
    bool wasConnected;  // monitor thread only
    std::atomic<bool> isMonitorRunning;
    std::thread monitorThread;
    std::mutex pipeLock;
    std::mutex subscribeLock;  // serialises SubscribeToRemote and UnsubscribeFromRemote
    std::mutex monitorWakeLock;
    std::condition_variable monitorWake;
};

namespace MailboxHelpers {

// Creates a pipe transport of the given end, subscribes it to the pipe name and hands it to the
// broker as AssignRemoteTransport does (a previous transport is shut down and destroyed).
DROVO_COMMON_API void AddPipeServerToMailbox(Mailbox& broker, const char* pipeName);
DROVO_COMMON_API void AddPipeClientToMailbox(Mailbox& broker, const char* pipeName);

}  // namespace MailboxHelpers
