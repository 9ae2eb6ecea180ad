// One end of a local, per-user message pipe between two processes. The server end creates the
// pipe and waits for one client; the client end retries about every millisecond until the
// server exists. Optionally every message travels behind a big-endian two-byte length header,
// and optionally a read thread of the object's own connects and hands each message to a
// callback.
//
// On Linux the pipe "\\.\pipe\NAME" is a Unix domain stream socket in the abstract namespace
// under that same path, so no file is left behind; the server accepts only peers that run as
// its own user.
//
// Locks: sendLock keeps the header and payload of one message together; readLock serialises
// readers. A reader waiting for the rest of a message never delays senders. The read callback
// runs on the read thread without any lock of this object held, so it may send.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "DrovoCommonExport.h"

// Called by the read thread after each complete message: the context given with the callback,
// the bytes (valid until the next read) and their count.
typedef void (*NamedPipeReadCallback)(void* context, uint8_t* bytes, uint64_t length);

class DROVO_COMMON_API NamedPipe {
  public:
    static constexpr int kPipeNameSize = 256;
    static constexpr uint32_t kMaxMessage = 65535;
    // The abstract socket address holds the path without a terminator behind one NUL byte, which
    // leaves room for names of at most this many characters.
    static constexpr int kMaxNameLength = 98;

    explicit NamedPipe(bool isClient = true, bool useReadThread = false);
    // Interrupts a server waiting for its client, a client still retrying and a read in
    // progress, then waits for the read thread. Must not run on the read thread itself.
    ~NamedPipe();
    NamedPipe(const NamedPipe&) = delete;
    NamedPipe& operator=(const NamedPipe&) = delete;

    // Builds the path and creates (server) or opens (client) the pipe. With the read thread,
    // connecting goes on there and the result is true; otherwise the result says whether the
    // connection is up. False, with a line, for a null, empty or too long name, or when this
    // object already made its pipe.
    bool CreatePipe(const char* name);
    // Disconnects when connected; the read thread ends at its next check.
    void ClosePipe();
    // Writes one message; blocks while the peer's side is full. Returns the payload bytes
    // written (the header not counted), 0 when not connected, on failure or above 65,535 bytes.
    // A failed write marks the pipe not connected.
    uint64_t SendData(const void* bytes, uint64_t length);
    // Reads one message (with the header) or what one read returns (without), blocking until
    // bytes arrive. Never writes more than size bytes into a caller's destination: a longer
    // message is cut, reported with a line, and the read counts as failed. End of stream or a
    // read error marks the pipe not connected.
    bool ReadData(void* destination, uint64_t size, uint64_t& bytesRead);
    // Bytes waiting to be read; 0 when not connected or when asking fails.
    uint64_t Available();

    bool IsConnected() const { return isConnected; }
    uint64_t GetAmountRead() const { return amountRead; }
    uint64_t GetAmountToRead() const { return amountToRead; }
    void SetAmountToRead(uint32_t amount) { amountToRead = amount; }
    bool GetUsePrependedLengthHeader() const { return usePrependedLengthHeader; }
    void SetUsePrependedLengthHeader(bool use) { usePrependedLengthHeader = use; }
    // Set before CreatePipe; the read thread reads it without a lock.
    void SetReadDataCallback(NamedPipeReadCallback callback, void* context);
    const char* GetPipeName() const { return pipeName; }

  private:
    friend struct NamedPipeTestAccess;

    bool AttemptConnect();
    bool AcceptClient();
    bool ConnectAsClient();
    bool PublishConnection(int fd);
    void NamedPipeReadThread();
    // Replaces the read buffer; a size outside 1 to 65,535 throws std::range_error("size").
    void SetBufferSize(int32_t size);
    bool ReadFully(uint8_t* destination, uint64_t length);
    bool ReadMessage(uint8_t* destination, uint64_t size);
    bool ReadRaw(uint8_t* destination, uint64_t size);
    bool CreateListener();

    char pipeName[kPipeNameSize];
    std::atomic<int> pipeHandle;    // the connection; guarded by fdLock for shutdown and close
    std::atomic<int> listenHandle;  // server only, until its client is accepted; fdLock as above
    std::atomic<bool> isConnected;
    const bool isClient;
    std::atomic<bool> keepConnecting;  // false once the object is being destroyed
    std::atomic<bool> usePrependedLengthHeader;
    uint8_t* readBuffer;      // used by readers under readLock
    uint32_t readBufferSize;  // guarded by readLock
    std::atomic<uint64_t> amountRead;
    std::atomic<uint64_t> amountToRead;
    const bool useReadThread;
    std::recursive_mutex sendLock;
    std::recursive_mutex readLock;
    std::mutex fdLock;  // publishing, shutting down and closing the two descriptors
    NamedPipeReadCallback readDataCallback;
    void* readDataContext;
    std::thread readThread;
    bool created;
    int createError;  // errno of a failed server creation, reported by the connect step
};
