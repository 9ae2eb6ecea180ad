#include "MailboxPipe.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "MailboxError.h"
#include "MailboxMessage.h"
#include "MailboxTransportCallback.h"
#include "NamedPipe.h"
#include "Timer.h"

namespace {

using utl::Timer;

constexpr auto kMonitorPeriod = std::chrono::milliseconds(10);
constexpr uint16_t kControlHeader = 5;     // magic and command
constexpr uint16_t kUpdateDataOffset = 9;  // magic, command and count

uint32_t ReadLittle32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void WriteLittle32(uint8_t* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

int ClampToInt(uint64_t value) {
    return static_cast<int>(std::min<uint64_t>(value, static_cast<uint64_t>(INT_MAX)));
}

}  // namespace

MailboxPipe::MailboxPipe()
    : pipe(nullptr), pipeMode(0), wasConnected(false), isMonitorRunning(true) {
    monitorThread = std::thread(&MailboxPipe::MailboxPipeMonitorThread, this);
}

MailboxPipe::~MailboxPipe() {
    UnsubscribeFromRemote();
    {
        std::lock_guard<std::mutex> guard(monitorWakeLock);
        isMonitorRunning = false;
    }
    monitorWake.notify_one();
    if (monitorThread.get_id() == std::this_thread::get_id()) {
        monitorThread.detach();
    } else {
        monitorThread.join();
    }
}

void MailboxPipe::Initialize(uint16_t mode) {
    pipeMode = mode;
}

void MailboxPipe::Shutdown() {
    UnsubscribeFromRemote();
}

uint64_t MailboxPipe::Send(const uint8_t* bytes, uint64_t length) {
    std::lock_guard<std::mutex> guard(pipeLock);
    if (pipe == nullptr || !pipe->IsConnected())
        return std::numeric_limits<uint64_t>::max();
    return pipe->SendData(bytes, length);
}

bool MailboxPipe::SubscribeToRemote(const char* pipeName, uint16_t /*port*/) {
    std::lock_guard<std::mutex> subscription(subscribeLock);
    if (pipe != nullptr)
        return false;
    std::unique_ptr<NamedPipe> created;
    if (pipeMode == MAILBOX_PIPE_MODE_CLIENT) {
        created.reset(new NamedPipe(true, true));
    } else if (pipeMode == MAILBOX_PIPE_MODE_SERVER) {
        created.reset(new NamedPipe(false, true));
    } else {
        throw MailboxError("Unsupported pipe mode!");
    }
    created->SetReadDataCallback(&MailboxPipe::MailboxPipeReadThunk, this);
    // A refused name leaves nothing behind, so a later subscribe with a good name works.
    if (!created->CreatePipe(pipeName))
        return false;
    std::lock_guard<std::mutex> guard(pipeLock);
    pipe = created.release();
    return true;
}

bool MailboxPipe::UnsubscribeFromRemote() {
    std::lock_guard<std::mutex> subscription(subscribeLock);
    // Only holders of subscribeLock change the pointer, so it can be read here without
    // pipeLock; closing first wakes a Send blocked on a peer that stopped reading, which would
    // otherwise keep pipeLock forever.
    NamedPipe* closing = pipe;
    if (closing == nullptr)
        return false;
    closing->ClosePipe();
    {
        std::lock_guard<std::mutex> guard(pipeLock);
        pipe = nullptr;
    }
    delete closing;
    return true;
}

MailboxAddressStatus MailboxPipe::GetRemoteAddressStatus(const char* name) {
    return HasRemoteAddress(name) ? MAILBOX_ADDRESS_STATUS_REGISTERED
                                  : MAILBOX_ADDRESS_STATUS_NOT_REGISTERED;
}

bool MailboxPipe::IsSubscribedToRemote() {
    std::lock_guard<std::mutex> guard(pipeLock);
    return pipe != nullptr && pipe->IsConnected();
}

void MailboxPipe::OnLocalAddressesChanged(const uint32_t* addresses, uint64_t count) {
    if (count > kMaxRemoteAddresses) {
        Timer::printfTime("[MailboxPipe] OnLocalAddressesChanged unepxected size: %d\n",
                          ClampToInt(count));
        return;
    }
    std::vector<uint8_t> data(4 * (count + 1));
    WriteLittle32(data.data(), static_cast<uint32_t>(count));
    if (count > 0)
        memcpy(data.data() + 4, addresses, 4 * count);
    WriteControlMessage(MAILBOX_PIPE_CONTROL_COMMAND_UPDATE_ADDRESSES, data.data(),
                        static_cast<uint16_t>(data.size()));
}

void MailboxPipe::WriteControlMessage(uint8_t command, const void* data, uint16_t length) {
    std::vector<uint8_t> message(kControlHeader + static_cast<size_t>(length));
    WriteLittle32(message.data(), MAILBOX_PIPE_CONTROL_MAGIC);
    message[4] = command;
    if (length > 0)
        memcpy(message.data() + kControlHeader, data, length);
    std::lock_guard<std::mutex> guard(pipeLock);
    if (pipe != nullptr)
        pipe->SendData(message.data(), message.size());
}

bool MailboxPipe::CheckIsControlMessage(const uint8_t* bytes, uint16_t length) {
    return length >= kControlHeader && ReadLittle32(bytes) == MAILBOX_PIPE_CONTROL_MAGIC;
}

void MailboxPipe::ParseControlMessage(const uint8_t* bytes, uint16_t length) {
    uint8_t command = bytes[4];
    if (command != MAILBOX_PIPE_CONTROL_COMMAND_UPDATE_ADDRESSES) {
        Timer::printfTime("[MailboxPipe] Unsupported control message command: %d\n", command);
        return;
    }
    const char* missing =
        "[MailboxPipe] MAILBOX_PIPE_CONTROL_COMMAND_UPDATE_ADDRESSES missing data. Expected %d "
        "bytes, got %d\n";
    if (length < kUpdateDataOffset) {
        // Not even the count is there: what is missing is its own four bytes.
        Timer::printfTime(missing, 4, length - kControlHeader);
        return;
    }
    uint64_t count = ReadLittle32(bytes + kControlHeader);
    uint64_t available = length - kUpdateDataOffset;
    if (available < 4 * count) {
        Timer::printfTime(missing, ClampToInt(4 * count), ClampToInt(available));
        return;
    }
    // The list holds 1024 addresses; a longer update keeps its first 1024.
    uint64_t kept = std::min(count, kMaxRemoteAddresses);
    std::vector<uint32_t> addresses(kept);
    if (kept > 0)
        memcpy(addresses.data(), bytes + kUpdateDataOffset, 4 * kept);
    StoreRemoteAddresses(addresses.data(), kept);
}

void MailboxPipe::MailboxPipeReadDataCallback(const uint8_t* bytes, uint16_t length) {
    if (length < MailboxMessage::kHeaderSize)
        return;
    DeliverReceivedMessage("MailboxPipe", bytes, length);
}

void MailboxPipe::MailboxPipeReadThunk(void* context, uint8_t* bytes, uint64_t length) {
    if (context == nullptr) {
        throw MailboxError("MailboxPipeReadThunk called with an invalid context!");
    }
    auto* self = static_cast<MailboxPipe*>(context);
    if (length > 65535) {
        Timer::printfTime(
            "[MailboxPipe] MailboxPipeReadThunk received a message larger than mailbox can "
            "handle: %d bytes\n",
            ClampToInt(length));
        return;
    }
    uint16_t size = static_cast<uint16_t>(length);
    if (CheckIsControlMessage(bytes, size)) {
        self->ParseControlMessage(bytes, size);
    } else {
        self->MailboxPipeReadDataCallback(bytes, size);
    }
}

void MailboxPipe::CheckConnectionStatusChanged() {
    bool connected = IsSubscribedToRemote();
    MailboxTransportCallback* callback = GetMessageReceivedCallback();
    try {
        if (connected && !wasConnected && callback != nullptr)
            callback->OnRemoteConnected();
        if (!connected && wasConnected) {
            ClearRemoteAddresses();
            if (callback != nullptr)
                callback->OnRemoteDisconnected();
        }
    } catch (const std::exception& error) {
        Timer::printfTime("[MailboxPipe] Exception reporting a connection change: %s\n",
                          error.what());
    }
    wasConnected = connected;
}

void MailboxPipe::MailboxPipeMonitorThread() {
    std::unique_lock<std::mutex> wake(monitorWakeLock);
    while (isMonitorRunning) {
        wake.unlock();
        CheckConnectionStatusChanged();
        wake.lock();
        monitorWake.wait_for(wake, kMonitorPeriod, [this] { return !isMonitorRunning; });
    }
}
