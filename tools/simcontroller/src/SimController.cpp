#include "SimController.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace drovo_sim {
namespace {

constexpr size_t kHeaderSize = 5;
constexpr size_t kMaxPacket = 1024;
constexpr int kPollMs = 10;
constexpr int kWriteGiveUpMs = 1000;

uint8_t FirstCommand(const SimPacket& packet) {
    return packet.raw.size() > kHeaderSize + 1 && packet.payloadLength > 0 ? packet.raw[5] : 0;
}

}  // namespace

SimController::SimController() {
    char name[256] = {};
    if (openpty(&m_master, &m_terminal, name, nullptr, nullptr) != 0) {
        m_master = m_terminal = -1;
        return;
    }
    termios raw{};
    tcgetattr(m_terminal, &raw);
    cfmakeraw(&raw);
    tcsetattr(m_terminal, TCSANOW, &raw);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_terminal, F_SETFD, FD_CLOEXEC);
    m_portName = name;
    m_worker = std::thread(&SimController::Run, this);
}

SimController::~SimController() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_worker.joinable()) {
        m_worker.join();
    }
    if (m_master >= 0) {
        close(m_master);
    }
    if (m_terminal >= 0) {
        close(m_terminal);
    }
}

bool SimController::Ok() const {
    return m_worker.joinable();
}

const std::string& SimController::PortName() const {
    return m_portName;
}

void SimController::SetFirmware(uint8_t major, uint8_t minor) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_firmwareMajor = major;
    m_firmwareMinor = minor;
}

void SimController::SetSegments(std::vector<uint8_t> lastTactors) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_segments = std::move(lastTactors);
}

void SimController::QueueReply(ReplyMaker maker) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_oneShotReplies.push_back(std::move(maker));
}

void SimController::ReplyNextWith(std::vector<uint8_t> bytes) {
    QueueReply([bytes](const SimPacket&) { return bytes; });
}

void SimController::RefuseNext(uint8_t reason) {
    QueueReply(
        [reason](const SimPacket& packet) { return reply::Refuse(FirstCommand(packet), reason); });
}

void SimController::FaultListNext(const std::vector<reply::Fault>& faults) {
    QueueReply([faults](const SimPacket& packet) {
        return reply::FaultList(FirstCommand(packet), faults);
    });
}

void SimController::SetSilent(bool silent) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_silent = silent;
}

void SimController::SetChunking(size_t chunkSize, std::chrono::milliseconds pause) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_chunkSize = chunkSize;
    m_chunkPause = pause;
}

void SimController::SetJunkPrefix(std::vector<uint8_t> junk) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_junk = std::move(junk);
}

void SimController::SendBeltChange(uint8_t reason) {
    Write(reply::BeltChange(reason));
}

void SimController::SendControllerError() {
    Write(reply::ControllerError());
}

void SimController::Send(const std::vector<uint8_t>& bytes) {
    Write(bytes);
}

void SimController::HangUp() {
    std::unique_lock<std::mutex> lock(m_lock);
    if (!m_worker.joinable()) {
        return;
    }
    m_hangUpRequested = true;
    m_changed.wait(lock, [this] { return m_hungUp || m_stop; });
}

std::vector<SimPacket> SimController::Packets() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_packets;
}

size_t SimController::PacketCount() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_packets.size();
}

bool SimController::WaitForPackets(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, timeout, [&] { return m_packets.size() >= count; });
}

void SimController::SetPacketObserver(std::function<void(const SimPacket&)> observer) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_observer = std::move(observer);
}

void SimController::Run() {
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_lock);
            if (m_stop) {
                return;
            }
            if (m_hangUpRequested && !m_hungUp) {
                lock.unlock();
                std::lock_guard<std::mutex> writing(m_writeLock);
                lock.lock();
                close(m_master);
                close(m_terminal);
                m_master = m_terminal = -1;
                m_hungUp = true;
                m_changed.notify_all();
            }
            if (m_hungUp) {
                m_changed.wait(lock, [this] { return m_stop; });
                return;
            }
        }
        pollfd entry{m_master, POLLIN, 0};
        if (poll(&entry, 1, kPollMs) == 1 && (entry.revents & POLLIN)) {
            uint8_t chunk[4096];
            ssize_t got = read(m_master, chunk, sizeof chunk);
            if (got > 0) {
                TakeBytes(chunk, static_cast<size_t>(got));
            }
        }
    }
}

// Frames host packets out of the byte stream: bytes before a start byte are skipped, and a
// header announcing more than a packet can hold is taken for noise.
void SimController::TakeBytes(const uint8_t* bytes, size_t count) {
    m_incoming.insert(m_incoming.end(), bytes, bytes + count);
    for (;;) {
        size_t start = 0;
        while (start < m_incoming.size() && m_incoming[start] != 0x02) {
            ++start;
        }
        m_incoming.erase(m_incoming.begin(), m_incoming.begin() + start);
        if (m_incoming.size() < kHeaderSize) {
            return;
        }
        size_t total = kHeaderSize + (m_incoming[3] | (m_incoming[4] << 8)) + 1;
        if (total > kMaxPacket) {
            m_incoming.erase(m_incoming.begin());
            continue;
        }
        if (m_incoming.size() < total) {
            return;
        }
        std::vector<uint8_t> raw(m_incoming.begin(), m_incoming.begin() + total);
        m_incoming.erase(m_incoming.begin(), m_incoming.begin() + total);
        HandlePacket(raw);
    }
}

void SimController::HandlePacket(const std::vector<uint8_t>& raw) {
    SimPacket packet = SimPacket::FromBytes(raw);
    std::vector<uint8_t> answer;
    std::function<void(const SimPacket&)> observer;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_packets.push_back(packet);
        observer = m_observer;
        if (!m_silent && !m_oneShotReplies.empty()) {
            answer = m_oneShotReplies.front()(packet);
            m_oneShotReplies.pop_front();
        } else if (!m_silent) {
            answer = NormalReply(packet);
        }
    }
    m_changed.notify_all();
    if (observer) {
        observer(packet);
    }
    if (!answer.empty()) {
        Write(answer);
    }
}

// Caller holds m_lock.
std::vector<uint8_t> SimController::NormalReply(const SimPacket& packet) {
    const uint8_t command = FirstCommand(packet);
    if (!packet.checksumOk) {
        return reply::Refuse(command, 2);
    }
    if (!packet.decoded) {
        bool known = CommandName(command).compare(0, 7, "Unknown") != 0;
        return reply::Refuse(command, known ? 3 : 4);
    }
    std::vector<uint8_t> answer;
    if (packet.Has(0x42)) {
        answer = reply::Firmware(m_firmwareMajor, m_firmwareMinor);
    }
    if (packet.Has(0x45)) {
        std::vector<uint8_t> segments = reply::Segments(m_segments);
        answer.insert(answer.end(), segments.begin(), segments.end());
    }
    return answer.empty() ? reply::Acknowledge(command) : answer;
}

void SimController::Write(const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::mutex> writing(m_writeLock);
    std::vector<uint8_t> wire;
    size_t chunkSize = 0;
    std::chrono::milliseconds pause{0};
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_master < 0) {
            return;
        }
        wire = m_junk;
        chunkSize = m_chunkSize;
        pause = m_chunkPause;
    }
    wire.insert(wire.end(), bytes.begin(), bytes.end());
    size_t piece = chunkSize ? chunkSize : wire.size();
    for (size_t at = 0; at < wire.size(); at += piece) {
        if (at > 0) {
            std::this_thread::sleep_for(pause);
        }
        WriteAll(wire.data() + at, std::min(piece, wire.size() - at));
    }
}

// Caller holds m_writeLock, which keeps m_master open. A host that stops reading for a second
// loses the rest of the bytes rather than stalling the controller.
void SimController::WriteAll(const uint8_t* bytes, size_t count) {
    while (count > 0) {
        ssize_t put = write(m_master, bytes, count);
        if (put > 0) {
            bytes += put;
            count -= static_cast<size_t>(put);
            continue;
        }
        if (put < 0 && errno != EINTR && errno != EAGAIN) {
            return;
        }
        pollfd entry{m_master, POLLOUT, 0};
        if (put < 0 && errno == EAGAIN && poll(&entry, 1, kWriteGiveUpMs) <= 0) {
            return;
        }
    }
}

}  // namespace drovo_sim
