// The read contract the device's packet reader depends on, played against a pseudo-terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "DrovoErrorCodes.h"
#include "DrovoSerial.h"
#include "ModuleState.h"
#include "PtyPair.h"
#include "SysCall.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct ReadOutcome {
    int result;
    int error;  // last error after a failed call, 0 after success
    Bytes bytes;
};

class SerialRead : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(std::string(m_pty.Name()).empty());
        m_handle = serial_Connect(m_pty.Name());
        ASSERT_NE(m_handle, nullptr);
    }
    void TearDown() override {
        drovo_serial::SetReadTimeoutNs(0);
        if (m_handle) {
            serial_Close(m_handle, &m_record, nullptr);
        }
    }

    ReadOutcome Read(int32_t count, int32_t mode) {
        uint8_t buffer[512] = {};
        int32_t got = -7;
        int result = serial_Read(m_handle, &m_record, count, buffer, &got, mode);
        ReadOutcome outcome{result, result < 0 ? serial_GetLastDrovoError() : 0, {}};
        outcome.bytes.assign(buffer, buffer + (got > 0 ? got : 0));
        return outcome;
    }

    // Collects the pending read until it stops being pending (waits up to five seconds).
    ReadOutcome Collect(int32_t count) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        ReadOutcome outcome = Read(count, 1);
        while (outcome.error == DROVO_READ_PENDING && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            outcome = Read(count, 1);
        }
        return outcome;
    }

    PtyPair m_pty;
    DrovoSerialHandle m_handle = nullptr;
    DrovoIoRecord m_record = {};
};

TEST_F(SerialRead, QuietLineAnswersNothingToReadAtOnce) {
    ReadOutcome outcome = Read(6, 0);
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.error, DROVO_NO_READ);
    EXPECT_TRUE(outcome.bytes.empty());
    EXPECT_EQ(m_record.pending, 0);
}

TEST_F(SerialRead, WaitingBytesCompleteAtOnceAndLeaveTheRestForTheNextRead) {
    m_pty.Send({0x02, 0xC9, 0x02, 0x40, 0x00, 0x61, 0x02, 0xC9});
    ReadOutcome first = Read(6, 0);
    EXPECT_EQ(first.result, 0);
    EXPECT_EQ(first.bytes, (Bytes{0x02, 0xC9, 0x02, 0x40, 0x00, 0x61}));
    ReadOutcome second = Read(2, 0);
    EXPECT_EQ(second.result, 0);
    EXPECT_EQ(second.bytes, (Bytes{0x02, 0xC9}));
}

TEST_F(SerialRead, ReplyInPiecesWithPausesIsGatheredWhole) {
    drovo_serial::SetReadTimeoutNs(500LL * 1000 * 1000);
    const Bytes reply = {0x02, 0xC8, 0x03, 0x42, 0x05, 0x02, 0x63};
    m_pty.Send({reply.begin(), reply.begin() + 2});
    ReadOutcome started = Read(7, 0);
    EXPECT_EQ(started.error, DROVO_READ_PENDING);
    std::thread farEnd([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        m_pty.Send({reply.begin() + 2, reply.begin() + 5});
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        m_pty.Send({reply.begin() + 5, reply.end()});
    });
    ReadOutcome collected = Collect(7);
    farEnd.join();
    EXPECT_EQ(collected.result, 0);
    EXPECT_EQ(collected.bytes, reply);
}

TEST_F(SerialRead, ReadStartedJustAfterBytesCameWaitsForTheRest) {
    drovo_serial::SetReadTimeoutNs(2LL * 1000 * 1000 * 1000);
    m_pty.Send({0x02, 0xC8, 0x06, 0x45, 0x04, 0x08});
    ASSERT_EQ(Read(6, 0).result, 0);
    // The header announced four more bytes; none has come yet.
    EXPECT_EQ(Read(4, 0).error, DROVO_READ_PENDING);
    m_pty.Send({0x0C, 0x10, 0x14, 0x99});
    ReadOutcome rest = Collect(4);
    EXPECT_EQ(rest.result, 0);
    EXPECT_EQ(rest.bytes, (Bytes{0x0C, 0x10, 0x14, 0x99}));
}

TEST_F(SerialRead, SilenceAfterSomeBytesEndsInPartialRead) {
    drovo_serial::SetReadTimeoutNs(30LL * 1000 * 1000);
    m_pty.Send({0x02, 0xC9, 0x02});
    EXPECT_EQ(Read(6, 0).error, DROVO_READ_PENDING);
    ReadOutcome outcome = Collect(6);
    EXPECT_EQ(outcome.result, -1);
    EXPECT_EQ(outcome.error, DROVO_PARTIAL_READ);
    EXPECT_EQ(outcome.bytes, (Bytes{0x02, 0xC9, 0x02}));
    EXPECT_EQ(m_record.pending, 0);
}

TEST_F(SerialRead, PendingReadThatGetsNothingMoreEndsInNothingToRead) {
    drovo_serial::SetReadTimeoutNs(30LL * 1000 * 1000);
    m_pty.Send({0x02, 0xC9, 0x02, 0x40, 0x00, 0x61});
    ASSERT_EQ(Read(6, 0).result, 0);
    EXPECT_EQ(Read(6, 0).error, DROVO_READ_PENDING);
    ReadOutcome outcome = Collect(6);
    EXPECT_EQ(outcome.error, DROVO_NO_READ);
    EXPECT_TRUE(outcome.bytes.empty());
}

TEST_F(SerialRead, HangUpFailsTheReadWhetherStartedOrPending) {
    m_pty.Send({0x02, 0xC9});
    drovo_serial::SetReadTimeoutNs(2LL * 1000 * 1000 * 1000);
    EXPECT_EQ(Read(6, 0).error, DROVO_READ_PENDING);
    m_pty.HangUp();
    EXPECT_EQ(Read(6, 1).error, DROVO_FAILED_TO_READ);
    EXPECT_EQ(Read(6, 0).error, DROVO_FAILED_TO_READ);
}

TEST_F(SerialRead, SystemFailureAndInterruptionOfTheRead) {
    m_pty.Send({0x02, 0xC9, 0x02, 0x40, 0x00, 0x61});
    drovo_serial::InjectSysCallFailure("read", EINTR);
    EXPECT_EQ(Read(6, 0).result, 0) << "an interrupted read is retried";
    drovo_serial::InjectSysCallFailure("read", EIO);
    EXPECT_EQ(Read(6, 0).error, DROVO_FAILED_TO_READ);
}

TEST_F(SerialRead, BadArgumentsAreRefused) {
    uint8_t buffer[512];
    int32_t got = 0;
    struct Case {
        const char* what;
        DrovoSerialHandle handle;
        DrovoIoRecord* record;
        int32_t count;
        uint8_t* buffer;
        int32_t* out;
        int32_t mode;
    };
    const Case cases[] = {
        {"negative count", m_handle, &m_record, -4, buffer, &got, 0},
        {"zero count", m_handle, &m_record, 0, buffer, &got, 0},
        {"count above the record", m_handle, &m_record, 513, buffer, &got, 0},
        {"unknown mode", m_handle, &m_record, 6, buffer, &got, 2},
        {"no handle", nullptr, &m_record, 6, buffer, &got, 0},
        {"no record", m_handle, nullptr, 6, buffer, &got, 0},
        {"no buffer", m_handle, &m_record, 6, nullptr, &got, 0},
        {"no out count", m_handle, &m_record, 6, buffer, nullptr, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(serial_Read(c.handle, c.record, c.count, c.buffer, c.out, c.mode), -1) << c.what;
        EXPECT_EQ(serial_GetLastDrovoError(), DROVO_BAD_PARAMETER) << c.what;
    }
    EXPECT_EQ(Read(6, 1).error, DROVO_INTERNAL_ERROR) << "collecting without a started read";
}

}  // namespace
