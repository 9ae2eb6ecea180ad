// Opening, writing and closing ports.
#include <gtest/gtest.h>

#include <string>

#include "DrovoErrorCodes.h"
#include "DrovoSerial.h"
#include "PtyPair.h"
#include "SysCall.h"

namespace {

TEST(SerialConnect, RefusesNamesThatCannotBeOpened) {
    const std::string tooLong(DROVO_SERIAL_NAME_SIZE, 'x');
    struct Case {
        const char* name;
        int code;
    };
    const Case cases[] = {
        {nullptr, DROVO_BAD_PARAMETER},         {"", DROVO_BAD_PARAMETER},
        {tooLong.c_str(), DROVO_BAD_PARAMETER}, {"/dev/no-such-serial-port", DROVO_CONNECT_FAILED},
        {"/dev/null", DROVO_CONNECT_FAILED},  // not a terminal: it cannot take line settings
    };
    for (const Case& c : cases) {
        EXPECT_EQ(serial_Connect(c.name), nullptr) << (c.name ? c.name : "(null)");
        EXPECT_EQ(serial_GetLastDrovoError(), c.code) << (c.name ? c.name : "(null)");
    }
}

TEST(SerialConnect, PortIsExclusiveUntilClosed) {
    PtyPair pty;
    DrovoSerialHandle first = serial_Connect(pty.Name());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(serial_Connect(pty.Name()), nullptr);
    EXPECT_EQ(serial_GetLastDrovoError(), DROVO_CONNECT_FAILED);
    EXPECT_EQ(serial_Close(first, nullptr, nullptr), 0);
    DrovoSerialHandle second = serial_Connect(pty.Name());
    EXPECT_NE(second, nullptr);
    serial_Close(second, nullptr, nullptr);
}

TEST(SerialConnect, ConfigurationFailureLeavesThePortClosed) {
    PtyPair pty;
    drovo_serial::InjectSysCallFailure("tcsetattr", EIO);
    EXPECT_EQ(serial_Connect(pty.Name()), nullptr);
    EXPECT_EQ(serial_GetLastDrovoError(), DROVO_CONNECT_FAILED);
    DrovoSerialHandle handle = serial_Connect(pty.Name());
    EXPECT_NE(handle, nullptr) << "the failed open must not keep the port locked";
    serial_Close(handle, nullptr, nullptr);
}

TEST(SerialWrite, WritesEveryByteInOrder) {
    PtyPair pty;
    DrovoSerialHandle handle = serial_Connect(pty.Name());
    ASSERT_NE(handle, nullptr);
    std::vector<uint8_t> packet(1024);
    for (size_t i = 0; i < packet.size(); ++i) {
        packet[i] = static_cast<uint8_t>(i * 7);
    }
    DrovoIoRecord record = {};
    EXPECT_EQ(serial_Write(handle, &record, packet.data(), 1024), 1024);
    EXPECT_EQ(pty.Receive(1024), packet);
    serial_Close(handle, nullptr, &record);
}

TEST(SerialWrite, FailuresAreReportedWithTheirCodes) {
    PtyPair pty;
    DrovoSerialHandle handle = serial_Connect(pty.Name());
    ASSERT_NE(handle, nullptr);
    const uint8_t bytes[] = {0x02, 0x00, 0x01, 0x02, 0x00, 0x42, 0x00, 0xA9};
    struct Case {
        const char* what;
        DrovoSerialHandle handle;
        const uint8_t* bytes;
        int32_t count;
        const char* injected;
        int code;
    };
    const Case cases[] = {
        {"no handle", nullptr, bytes, 8, nullptr, DROVO_BAD_PARAMETER},
        {"no bytes", handle, nullptr, 8, nullptr, DROVO_BAD_PARAMETER},
        {"zero count", handle, bytes, 0, nullptr, DROVO_BAD_PARAMETER},
        {"negative count", handle, bytes, -1, nullptr, DROVO_BAD_PARAMETER},
        {"port failure", handle, bytes, 8, "write", DROVO_FAILED_TO_READ},
    };
    for (const Case& c : cases) {
        if (c.injected) {
            drovo_serial::InjectSysCallFailure(c.injected, EIO);
        }
        EXPECT_EQ(serial_Write(c.handle, nullptr, c.bytes, c.count), -1) << c.what;
        EXPECT_EQ(serial_GetLastDrovoError(), c.code) << c.what;
    }
    drovo_serial::InjectSysCallFailure("write", EINTR);
    EXPECT_EQ(serial_Write(handle, nullptr, bytes, 8), 8) << "an interrupted write is retried";
    EXPECT_EQ(pty.Receive(8), std::vector<uint8_t>(bytes, bytes + 8));
    serial_Close(handle, nullptr, nullptr);
}

TEST(SerialClose, EndsThePendingReadAndRefusesNoHandle) {
    PtyPair pty;
    DrovoSerialHandle handle = serial_Connect(pty.Name());
    ASSERT_NE(handle, nullptr);
    pty.Send({0x02});
    DrovoIoRecord record = {};
    uint8_t buffer[8];
    int32_t got = 0;
    EXPECT_EQ(serial_Read(handle, &record, 6, buffer, &got, 0), -1);
    EXPECT_EQ(record.pending, 1);
    EXPECT_EQ(serial_Close(handle, &record, nullptr), 0);
    EXPECT_EQ(record.pending, 0);
    EXPECT_EQ(serial_Close(nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(serial_GetLastDrovoError(), DROVO_BAD_PARAMETER);
}

}  // namespace
