#include "PtyBoard.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

PtyBoard::PtyBoard() {
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    portName_ = name;
    reader_ = std::thread([this] { readLoop(); });
}

PtyBoard::~PtyBoard() {
    hangUp();
    if (slave_ >= 0) {
        close(slave_);
    }
}

void PtyBoard::readLoop() {
    while (!stop_) {
        pollfd pfd{master_, POLLIN, 0};
        if (poll(&pfd, 1, 10) <= 0 || !(pfd.revents & POLLIN)) {
            continue;
        }
        uint8_t chunk[256];
        ssize_t n = read(master_, chunk, sizeof chunk);
        if (n > 0) {
            std::lock_guard<std::mutex> lock(mutex_);
            bytes_.insert(bytes_.end(), chunk, chunk + n);
        }
    }
}

std::vector<Bytes> PtyBoard::messages() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Bytes> all = splitMessages(bytes_);
    return std::vector<Bytes>(all.begin() + std::min(mark_, all.size()), all.end());
}

void PtyBoard::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    mark_ = splitMessages(bytes_).size();
}

void PtyBoard::hangUp() {
    stop_ = true;
    if (reader_.joinable()) {
        reader_.join();
    }
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
}

std::vector<Bytes> splitMessages(const Bytes& bytes) {
    std::vector<Bytes> messages;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t length = 0;
        if (bytes[at] == 0x00 && at + 1 < bytes.size()) {
            length = bytes[at + 1] == 'A' ? 6 : bytes[at + 1] == 'X' ? 4 : 0;
        } else if (bytes[at] == 0x00) {
            break;  // the rest of a message is still on its way
        }
        if (length == 0) {
            messages.emplace_back(bytes.begin() + at, bytes.end());
            break;
        }
        if (at + length > bytes.size()) {
            break;
        }
        messages.emplace_back(bytes.begin() + at, bytes.begin() + at + length);
        at += length;
    }
    return messages;
}
