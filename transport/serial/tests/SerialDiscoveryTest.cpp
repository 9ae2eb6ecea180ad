// Discovery lists a machine's ports in a stable order; tests point it at a folder of their own.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "DrovoErrorCodes.h"
#include "DrovoSerial.h"

namespace {

class SerialDiscovery : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/drovo-serial-discovery-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        mkdir((m_root + "/dev").c_str(), 0755);
        mkdir((m_root + "/sys").c_str(), 0755);
        mkdir((m_root + "/sys/class").c_str(), 0755);
        mkdir((m_root + "/sys/class/tty").c_str(), 0755);
        serial_SetDiscoveryRootForTesting(m_root.c_str());
    }
    void TearDown() override {
        serial_SetDiscoveryRootForTesting(nullptr);
        std::string command = "rm -rf '" + m_root + "'";
        ASSERT_EQ(system(command.c_str()), 0);
    }

    void AddDevice(const char* name) { std::ofstream(m_root + "/dev/" + name).put('\n'); }

    // An on-board port whose sysfs entry names `driver`.
    void AddBoardPort(const char* name, const char* driver) {
        AddDevice(name);
        std::string dir = m_root + "/sys/class/tty/" + name;
        mkdir(dir.c_str(), 0755);
        mkdir((dir + "/device").c_str(), 0755);
        ASSERT_EQ(symlink((std::string("../../../bus/drivers/") + driver).c_str(),
                          (dir + "/device/driver").c_str()),
                  0);
    }

    std::string m_root;
};

TEST_F(SerialDiscovery, ListsPortFamiliesInOrderAndPortsByNumber) {
    for (const char* name : {"ttyS1", "ttyUSB10", "rfcomm0", "ttyACM0", "ttyUSB2", "ttyAMA0",
                             "ttyUSBx", "tty5", "null", "ttyS"}) {
        if (std::string(name).rfind("ttyS", 0) != 0) {
            AddDevice(name);
        }
    }
    AddBoardPort("ttyS1", "serial");
    AddBoardPort("ttyS0", "serial8250");  // a placeholder without a chip
    AddDevice("ttyS7");                   // no sysfs entry at all
    DrovoSerialPortList list;
    list.count = 99;
    ASSERT_EQ(serial_Discover(&list), 6);
    std::vector<std::string> names(list.names, list.names + list.count);
    const std::string dev = m_root + "/dev/";
    EXPECT_EQ(names, (std::vector<std::string>{dev + "ttyUSB2", dev + "ttyUSB10", dev + "ttyACM0",
                                               dev + "rfcomm0", dev + "ttyS1", dev + "ttyAMA0"}));
}

TEST_F(SerialDiscovery, EmptyMachineAndMissingList) {
    DrovoSerialPortList list;
    EXPECT_EQ(serial_Discover(&list), 0);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(serial_Discover(nullptr), -1);
    EXPECT_EQ(serial_GetLastDrovoError(), DROVO_BAD_PARAMETER);
}

}  // namespace
