#include "ScriptedPlatform.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "Device.h"
#include "DrovoErrorCodes.h"

Bytes MakeReply(uint8_t type, const Bytes& payload) {
    Bytes packet = {0x02, type, static_cast<uint8_t>(payload.size())};
    packet.insert(packet.end(), payload.begin(), payload.end());
    packet.push_back(ComputeChecksum(packet.data(), static_cast<int32_t>(packet.size())));
    return packet;
}

Bytes MakeAck(uint8_t command) {
    return MakeReply(0xC9, {command, 0x00});
}

ScriptedPlatform::AutoReply ScriptedPlatform::AckEverything(int32_t firmwareMajor) {
    return [firmwareMajor](const Bytes& written) {
        const bool firmwareRequest = written.size() == 8 && written[5] == 0x42;
        if (firmwareRequest && firmwareMajor >= 0) {
            return MakeReply(0xC8, {0x42, 0x00, static_cast<uint8_t>(firmwareMajor)});
        }
        return MakeAck(written.size() > 5 ? written[5] : 0);
    };
}

int32_t ScriptedPlatform::Init() {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_initCount;
    if (m_initResult < 0)
        m_lastError = m_initError;
    return m_initResult;
}

int32_t ScriptedPlatform::GetLastPlatformError() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastError;
}

int32_t ScriptedPlatform::Discover(std::vector<std::string>& names, const CancelFlag*,
                                   int32_t limit) {
    std::lock_guard<std::mutex> lock(m_mutex);
    names = m_names;
    if (limit > 0 && names.size() > static_cast<size_t>(limit))
        names.resize(limit);
    return static_cast<int32_t>(names.size());
}

int32_t ScriptedPlatform::Connect(Device* device) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_connectResult < 0) {
        m_lastError = m_connectError;
        device->m_iLastError = m_connectError;
        return m_connectResult;
    }
    device->m_hConnection = this;
    return 0;
}

int32_t ScriptedPlatform::Close(Device* device) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_closeCount;
    device->m_hConnection = nullptr;
    return 0;
}

int32_t ScriptedPlatform::Read(Device*, int32_t bytesWanted, uint8_t* buffer, int32_t* bytesRead,
                               int32_t mode) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_wanted.push_back(bytesWanted);
    m_modes.push_back(mode);
    *bytesRead = 0;
    if (!m_steps.empty()) {
        ReadStep step = m_steps.front();
        m_steps.pop_front();
        size_t count = std::min<size_t>(step.bytes.size(), kReadBufferBytes);
        std::copy_n(step.bytes.begin(), count, buffer);
        *bytesRead = static_cast<int32_t>(count);
        if (step.result < 0)
            m_lastError = step.error;
        return step.result;
    }
    if (bytesWanted < 0) {
        m_lastError = DROVO_BAD_PARAMETER;
        return -1;
    }
    if (m_stream.empty()) {
        m_lastError = m_idleReadError;
        return -1;
    }
    size_t count = std::min<size_t>(m_stream.size(), bytesWanted);
    std::copy_n(m_stream.begin(), count, buffer);
    m_stream.erase(m_stream.begin(), m_stream.begin() + count);
    *bytesRead = static_cast<int32_t>(count);
    if (count < static_cast<size_t>(bytesWanted)) {
        m_lastError = DROVO_PARTIAL_READ;
        return -1;
    }
    return 0;
}

int32_t ScriptedPlatform::Write(Device*, const uint8_t* bytes, int32_t count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Bytes written(bytes, bytes + count);
    m_writes.push_back(written);
    m_written.notify_all();
    if (m_writeResult < 0)
        return m_writeResult;
    if (m_autoReply) {
        Bytes reply = m_autoReply(written);
        m_stream.insert(m_stream.end(), reply.begin(), reply.end());
    }
    return count;
}

void ScriptedPlatform::QueueRead(const Bytes& bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_steps.push_back({0, 0, bytes});
}

void ScriptedPlatform::QueueReadError(int32_t error, const Bytes& bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_steps.push_back({-1, error, bytes});
}

void ScriptedPlatform::Feed(const Bytes& bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stream.insert(m_stream.end(), bytes.begin(), bytes.end());
}

void ScriptedPlatform::SetAutoReply(AutoReply reply) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_autoReply = std::move(reply);
}

void ScriptedPlatform::SetConnectResult(int32_t result, int32_t error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_connectResult = result;
    m_connectError = error;
}

void ScriptedPlatform::SetInitResult(int32_t result, int32_t error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_initResult = result;
    m_initError = error;
}

void ScriptedPlatform::SetWriteResult(int32_t result) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_writeResult = result;
}

void ScriptedPlatform::SetDiscoveredNames(std::vector<std::string> names) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_names = std::move(names);
}

void ScriptedPlatform::SetIdleReadError(int32_t error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_idleReadError = error;
}

std::vector<Bytes> ScriptedPlatform::Writes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_writes;
}

bool ScriptedPlatform::WaitForWrites(size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_written.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_writes.size() >= count; });
}

int32_t ScriptedPlatform::CloseCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_closeCount;
}

int32_t ScriptedPlatform::InitCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_initCount;
}

std::vector<int32_t> ScriptedPlatform::WantedCounts() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_wanted;
}

std::vector<int32_t> ScriptedPlatform::ReadModes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_modes;
}
