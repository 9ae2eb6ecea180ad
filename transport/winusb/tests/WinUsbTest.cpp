// The USB module's outcomes against a fake driver playing a scripted device.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "DrovoErrorCodes.h"
#include "DrovoWinUsb.h"
#include "FakeUsbDriver.h"
#include "UsbDriverLoader.h"
#include "UsbLastError.h"

namespace {

constexpr int kUnset = -12345;  // a last-error value no call sets

class WinUsb : public ::testing::Test {
  protected:
    void SetUp() override {
        drovo_winusb::SetDriverLibraryPath(FAKE_USB_DRIVER_PATH);
        FakeUsb_Reset();
        m_device = FakeUsb_Device();
        drovo_winusb::SetLastError(kUnset);
    }

    void AttachDevices(std::initializer_list<const char*> texts) {
        for (const char* text : texts) {
            strcpy(m_device->texts[m_device->count++], text);
        }
    }

    void* Open() {
        AttachDevices({"TDK Belt 1"});
        return winusb_Connect("TDK Belt 1");
    }

    FakeUsbDevice* m_device = nullptr;
};

TEST_F(WinUsb, ConnectMatchesTheIdentifyingTextWithoutRegardToCase) {
    AttachDevices({"Belt A", "TDK Belt 1", "tdk belt 1"});
    void* handle = winusb_Connect("tdk BELT 1");
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(m_device->openedIndex, 1);
    EXPECT_EQ(m_device->rate, 921600u);
    EXPECT_EQ(m_device->setting[0], 1);
    EXPECT_EQ(m_device->setting[1], 1);
    EXPECT_EQ(winusb_GetLastDrovoError(), kUnset);
}

TEST_F(WinUsb, FailedConnectsReturnNoneAndKeepTheLastError) {
    struct Case {
        const char* what;
        int32_t countResult;
        int32_t openResult;
        const char* name;
        int32_t openedIndex;
    };
    const Case cases[] = {
        {"no device carries the name", 0, DROVO_USB_OK, "Other", -1},
        {"the count fails", DROVO_USB_NO_DEVICE, DROVO_USB_OK, "Belt", -1},
        {"the count fails otherwise", DROVO_USB_FAILED, DROVO_USB_OK, "Belt", -1},
        {"the open fails", 0, DROVO_USB_FAILED, "Belt", 0},
        {"the open finds no device", 0, DROVO_USB_NO_DEVICE, "Belt", 0},
    };
    for (const Case& c : cases) {
        FakeUsb_Reset();
        AttachDevices({"Belt"});
        m_device->countResult = c.countResult;
        m_device->openResult = c.openResult;
        EXPECT_EQ(winusb_Connect(c.name), nullptr) << c.what;
        EXPECT_EQ(m_device->openedIndex, c.openedIndex) << c.what;
        EXPECT_EQ(m_device->rate, 0u) << c.what;
        EXPECT_EQ(winusb_GetLastDrovoError(), kUnset) << c.what;
    }
}

TEST_F(WinUsb, ConnectRefusesNamesThatCannotBeCompared) {
    const std::string tooLong(DROVO_USB_TEXT_SIZE, 'a');
    for (const char* name : {static_cast<const char*>(nullptr), tooLong.c_str()}) {
        EXPECT_EQ(winusb_Connect(name), nullptr);
        EXPECT_EQ(winusb_GetLastDrovoError(), DROVO_BAD_PARAMETER);
        EXPECT_EQ(m_device->openedIndex, -99) << "nothing opened";
    }
}

TEST_F(WinUsb, WriteOutcomes) {
    void* handle = Open();
    ASSERT_NE(handle, nullptr);
    const uint8_t bytes[] = {0x02, 0x0A, 0x01, 0x04, 0x00, 0x11, 0x00, 0x01, 0x0A, 0xFD};
    struct Case {
        const char* what;
        void* handle;
        const uint8_t* bytes;
        int32_t count;
        int32_t driverResult;
        int result;
        int code;
    };
    const Case cases[] = {
        {"written", handle, bytes, 10, DROVO_USB_OK, 10, kUnset},
        {"no handle", nullptr, bytes, 10, DROVO_USB_OK, -1, DROVO_THREAD_START_FAILED},
        {"no bytes", handle, nullptr, 10, DROVO_USB_OK, -1, DROVO_BAD_PARAMETER},
        {"zero count", handle, bytes, 0, DROVO_USB_OK, -1, DROVO_BAD_PARAMETER},
        {"negative count", handle, bytes, -3, DROVO_USB_OK, -1, DROVO_BAD_PARAMETER},
        {"driver refuses", handle, bytes, 10, 1, -1, DROVO_USB_WRITE_FAILED},
    };
    for (const Case& c : cases) {
        drovo_winusb::SetLastError(kUnset);
        m_device->writeResult = c.driverResult;
        m_device->writtenLength = 0;
        EXPECT_EQ(winusb_Write(c.handle, c.bytes, c.count), c.result) << c.what;
        EXPECT_EQ(winusb_GetLastDrovoError(), c.code) << c.what;
        EXPECT_EQ(m_device->writtenLength, c.result > 0 ? 10u : 0u) << c.what;
    }
    EXPECT_EQ(memcmp(m_device->written, bytes, 10), 0);
}

// One row of the read table: what the device does, and what the module must answer.
struct ReadCase {
    const char* what;
    int32_t mode;
    int32_t queueResult;
    uint32_t queueStatus;
    int32_t readResult;
    uint32_t readSystemError;
    int32_t collectCompleted;
    uint32_t collectSystemError;
    uint32_t collectTransferred;
    uint8_t firstByte;
    // expected
    int result;
    int code;  // last error afterwards
    int32_t bytesRead;
    int32_t readsStarted;
    int32_t collects;
};

TEST_F(WinUsb, ReadOutcomes) {
    constexpr uint32_t kIo = DROVO_USB_SYSERR_IO_INCOMPLETE;
    constexpr uint32_t kPending = DROVO_USB_SYSERR_IO_PENDING;
    constexpr uint32_t kDrive = DROVO_USB_SYSERR_INVALID_DRIVE;
    const ReadCase cases[] = {
        {"queue status 1: nothing", 0, 0, 1, 0, 0, 1, 0, 6, 2, -1, DROVO_NO_READ, 0, 0, 0},
        {"queue status 0: nothing", 0, 0, 0, 0, 0, 1, 0, 6, 2, -1, DROVO_NO_READ, 0, 0, 0},
        {"completes at once", 0, 0, 2, 0, 0, 1, 0, 6, 2, 0, kUnset, 6, 1, 1},
        {"failed queue check goes on", 0, 1, 2, 0, 0, 1, 0, 6, 2, 0, DROVO_INTERNAL_ERROR, 6, 1, 1},
        {"start fails", 0, 0, 2, 1, 5, 1, 0, 6, 2, -1, DROVO_INTERNAL_ERROR, 0, 1, 0},
        {"start pending, result not ready", 0, 0, 2, 1, kPending, 0, kIo, 0, 2, -1,
         DROVO_READ_PENDING, 0, 1, 1},
        {"start on invalid drive goes on", 0, 0, 2, 1, kDrive, 1, 0, 6, 2, 0, kUnset, 6, 1, 1},
        {"collection fails without cause", 0, 0, 2, 1, kPending, 0, 0, 0, 2, -1,
         DROVO_READ_INCOMPLETE, 0, 1, 1},
        {"collection fails with some bytes", 0, 0, 2, 1, kPending, 0, kIo, 3, 2, 0, kUnset, 3, 1,
         1},
        {"whole read starting with 0", 0, 0, 2, 0, 0, 1, 0, 6, 0, -1, DROVO_NO_READ, 0, 1, 1},
        {"fewer bytes", 0, 0, 2, 0, 0, 1, 0, 4, 2, -1, DROVO_PARTIAL_READ, 4, 1, 1},
        {"no bytes", 0, 0, 2, 0, 0, 1, 0, 0, 2, -1, DROVO_NO_READ, 0, 1, 1},
        {"more bytes than asked", 0, 0, 2, 0, 0, 1, 0, 7, 2, -1, DROVO_INTERNAL_ERROR, 0, 1, 1},
        {"mode 1 collects without a new read", 1, 0, 2, 0, 0, 1, 0, 6, 2, 0, kUnset, 6, 0, 1},
        {"mode 1 still pending", 1, 0, 2, 0, 0, 0, kIo, 0, 2, -1, DROVO_READ_PENDING, 0, 0, 1},
        {"mode 1 checks the queue again", 1, 0, 1, 0, 0, 1, 0, 6, 2, -1, DROVO_NO_READ, 0, 0, 0},
    };
    void* handle = Open();
    ASSERT_NE(handle, nullptr);
    for (const ReadCase& c : cases) {
        m_device->queueResult = c.queueResult;
        m_device->queueStatus = c.queueStatus;
        m_device->readResult = c.readResult;
        m_device->readSystemError = c.readSystemError;
        m_device->collectCompleted = c.collectCompleted;
        m_device->collectSystemError = c.collectSystemError;
        m_device->collectTransferred = c.collectTransferred;
        m_device->incoming[0] = c.firstByte;
        m_device->incomingLength = 6;
        m_device->readsStarted = 0;
        m_device->collects = 0;
        drovo_winusb::SetLastError(kUnset);
        DrovoIoRecord record = {};
        uint8_t buffer[8] = {c.firstByte};
        int32_t got = 0;
        EXPECT_EQ(winusb_Read(handle, &record, 6, buffer, &got, c.mode), c.result) << c.what;
        EXPECT_EQ(winusb_GetLastDrovoError(), c.code) << c.what;
        EXPECT_EQ(got, c.bytesRead) << c.what;
        EXPECT_EQ(m_device->readsStarted, c.readsStarted) << c.what;
        EXPECT_EQ(m_device->collects, c.collects) << c.what;
        winusb_Close(nullptr, &record);
    }
}

TEST_F(WinUsb, ReadRefusesBadArguments) {
    void* handle = Open();
    DrovoIoRecord record = {};
    uint8_t buffer[8];
    int32_t got = 0;
    EXPECT_EQ(winusb_Read(nullptr, &record, 6, buffer, &got, 0), -1);
    EXPECT_EQ(winusb_GetLastDrovoError(), DROVO_BAD_PARAMETER);
    struct Case {
        const char* what;
        DrovoIoRecord* record;
        int32_t count;
        uint8_t* buffer;
        int32_t* out;
        int32_t mode;
    };
    const Case cases[] = {
        {"zero count", &record, 0, buffer, &got, 0},
        {"negative count", &record, -1, buffer, &got, 0},
        {"no buffer", &record, 6, nullptr, &got, 0},
        {"no out count", &record, 6, buffer, nullptr, 0},
        {"no record", nullptr, 6, buffer, &got, 0},
        {"unknown mode", &record, 6, buffer, &got, 3},
    };
    for (const Case& c : cases) {
        drovo_winusb::SetLastError(kUnset);
        EXPECT_EQ(winusb_Read(handle, c.record, c.count, c.buffer, c.out, c.mode), -1) << c.what;
        EXPECT_EQ(winusb_GetLastDrovoError(), DROVO_BAD_PARAMETER) << c.what;
    }
    EXPECT_EQ(m_device->readsStarted, 0);
    EXPECT_EQ(record.event, 0) << "a refused read creates no event";
}

TEST_F(WinUsb, ReadEventLivesFromTheFirstReadUntilClose) {
    void* handle = Open();
    DrovoIoRecord record = {};
    uint8_t buffer[8];
    int32_t got = 0;
    m_device->incoming[0] = 0x02;
    m_device->incomingLength = 6;
    m_device->collectTransferred = 6;
    ASSERT_EQ(winusb_Read(handle, &record, 6, buffer, &got, 0), 0);
    const int32_t event = record.event;
    EXPECT_NE(event, 0);
    EXPECT_EQ(record.offset, 4096);
    EXPECT_EQ(record.status, 0);
    ASSERT_EQ(winusb_Read(handle, &record, 6, buffer, &got, 0), 0);
    EXPECT_EQ(record.event, event) << "later reads reuse the event";
    EXPECT_EQ(winusb_Close(handle, &record), 0);
    EXPECT_EQ(record.event, 0);
    EXPECT_EQ(m_device->closes, 1);
    EXPECT_EQ(winusb_Close(handle, &record), 0) << "a cleared record only closes the device";
    EXPECT_EQ(m_device->closes, 2);
}

TEST_F(WinUsb, PropertiesAndPlaceholders) {
    void* handle = Open();
    EXPECT_EQ(winusb_SetProperties(handle, 115200), 0);
    EXPECT_EQ(m_device->rate, 115200u);
    EXPECT_EQ(winusb_SetProperties(nullptr, 115200), -1);
    EXPECT_EQ(winusb_Init(), -1);
    winusb_Discover();
}

}  // namespace
