// A pseudo-terminal for the serial module's tests: the module opens the terminal side by its
// name, the test plays the far end through the controlling side.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

class PtyPair {
  public:
    PtyPair() {
        int terminal = -1;
        char name[256] = {};
        if (openpty(&m_master, &terminal, name, nullptr, nullptr) == 0) {
            termios raw{};
            tcgetattr(terminal, &raw);
            cfmakeraw(&raw);
            tcsetattr(terminal, TCSANOW, &raw);
            close(terminal);
            m_name = name;
        }
    }
    ~PtyPair() { HangUp(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const char* Name() const { return m_name.c_str(); }

    void Send(const std::vector<uint8_t>& bytes) const {
        ssize_t put = write(m_master, bytes.data(), bytes.size());
        (void)put;
        tcdrain(m_master);
    }

    // Everything the module wrote, waiting up to `expected` bytes or two seconds.
    std::vector<uint8_t> Receive(size_t expected) const {
        std::vector<uint8_t> got;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (got.size() < expected && std::chrono::steady_clock::now() < deadline) {
            pollfd entry{m_master, POLLIN, 0};
            if (poll(&entry, 1, 50) == 1 && (entry.revents & POLLIN)) {
                uint8_t chunk[256];
                ssize_t n = read(m_master, chunk, sizeof chunk);
                if (n > 0) {
                    got.insert(got.end(), chunk, chunk + n);
                }
            }
        }
        return got;
    }

    void HangUp() {
        if (m_master >= 0) {
            close(m_master);
            m_master = -1;
        }
    }

  private:
    int m_master = -1;
    std::string m_name;
};
