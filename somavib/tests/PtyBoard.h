/*
 * The board's end of a pseudo-terminal: the hub opens portName() as its serial port, and a
 * reader thread gathers every byte the hub writes. messages() splits the stream into the
 * board's start and stop messages.
 */
#ifndef SOMAVIB_TESTS_PTY_BOARD_H
#define SOMAVIB_TESTS_PTY_BOARD_H

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Bytes = std::vector<uint8_t>;

class PtyBoard {
  public:
    PtyBoard();
    ~PtyBoard();
    PtyBoard(const PtyBoard&) = delete;
    PtyBoard& operator=(const PtyBoard&) = delete;

    const char* portName() const { return portName_.c_str(); }

    // The received stream as whole messages since the last reset(); bytes that fit neither message
    // end the list as one last entry of their own, so a corrupted stream never passes for a good
    // one.
    std::vector<Bytes> messages();
    // Makes messages() leave out the whole messages received so far; a message still arriving
    // is kept whole.
    void reset();
    // Stops reading and closes the board's side, so that the hub's writes fail.
    void hangUp();

  private:
    void readLoop();

    int master_ = -1;
    int slave_ = -1;
    std::string portName_;
    std::mutex mutex_;
    Bytes bytes_;      // guarded by mutex_
    size_t mark_ = 0;  // messages hidden by reset(); guarded by mutex_
    std::atomic<bool> stop_{false};
    std::thread reader_;
};

// Splits bytes into 6-byte start and 4-byte stop messages.
std::vector<Bytes> splitMessages(const Bytes& bytes);

#endif
