// Serial discovery probes every listed port with a full temporary-device connect.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "DrovoSerial.h"
#include "PlatformSerial.h"
#include "SimController.h"

namespace {

using Probe = std::pair<int32_t, std::string>;

std::mutex g_probesLock;
std::vector<Probe> g_probes;
CancelFlag* g_cancelOnFirstProbe = nullptr;

void RecordProbe(int32_t deviceId, const char* portName) {
    std::lock_guard<std::mutex> lock(g_probesLock);
    g_probes.emplace_back(deviceId, portName);
    if (g_cancelOnFirstProbe)
        *g_cancelOnFirstProbe = 1;
}

// Three candidate ports, ttyUSB0 to ttyUSB2, each a simulated controller that answers or not.
class SerialDiscovery : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/vibrolink-discovery-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        ASSERT_EQ(mkdir((m_root + "/dev").c_str(), 0755), 0);
        for (int i = 0; i < 3; ++i) {
            m_sims.push_back(std::make_unique<drovo_sim::SimController>());
            ASSERT_TRUE(m_sims.back()->Ok());
            ASSERT_EQ(symlink(m_sims.back()->PortName().c_str(), Candidate(i).c_str()), 0);
        }
        serial_SetDiscoveryRootForTesting(m_root.c_str());
        SetSerialProbeObserverForTesting(RecordProbe);
        std::lock_guard<std::mutex> lock(g_probesLock);
        g_probes.clear();
    }
    void TearDown() override {
        SetSerialProbeObserverForTesting(nullptr);
        g_cancelOnFirstProbe = nullptr;
        serial_SetDiscoveryRootForTesting(nullptr);
        std::string command = "rm -rf '" + m_root + "'";
        ASSERT_EQ(system(command.c_str()), 0);
    }

    std::string Candidate(int i) const { return m_root + "/dev/ttyUSB" + std::to_string(i); }

    void Answering(std::initializer_list<bool> answers) {
        int i = 0;
        for (bool answers : answers)
            m_sims[i++]->SetSilent(!answers);
    }

    std::vector<Probe> Probes() {
        std::lock_guard<std::mutex> lock(g_probesLock);
        return g_probes;
    }

    std::string m_root;
    std::vector<std::unique_ptr<drovo_sim::SimController>> m_sims;
    PlatformSerial m_platform;
    CancelFlag m_cancel{0};
    std::vector<std::string> m_names{"left over"};
};

TEST_F(SerialDiscovery, KeepsOnlyThePortThatAnswers) {
    Answering({false, true, false});
    EXPECT_EQ(m_platform.Discover(m_names, &m_cancel, 0), 1);
    EXPECT_EQ(m_names, std::vector<std::string>{Candidate(1)});
    EXPECT_EQ(Probes(),
              (std::vector<Probe>{{-1, Candidate(0)}, {-2, Candidate(1)}, {-3, Candidate(2)}}));
    for (const auto& sim : m_sims)
        EXPECT_GE(sim->PacketCount(), 1u) << "every candidate was asked for its firmware";
}

TEST_F(SerialDiscovery, StopsAtTheLimit) {
    Answering({true, true, true});
    EXPECT_EQ(m_platform.Discover(m_names, &m_cancel, 1), 1);
    EXPECT_EQ(m_names, std::vector<std::string>{Candidate(0)});
    EXPECT_EQ(Probes(), (std::vector<Probe>{{-1, Candidate(0)}}));
    EXPECT_EQ(m_sims[1]->PacketCount(), 0u);
}

TEST_F(SerialDiscovery, CancelFlagEndsDiscoveryBeforeTheNextCandidate) {
    Answering({true, true, true});
    g_cancelOnFirstProbe = &m_cancel;
    EXPECT_EQ(m_platform.Discover(m_names, &m_cancel, 0), -1);
    EXPECT_EQ(Probes().size(), 1u);
    EXPECT_EQ(m_sims[1]->PacketCount(), 0u);
    EXPECT_EQ(m_sims[2]->PacketCount(), 0u);
}

TEST_F(SerialDiscovery, NothingToTryIsPassedOn) {
    serial_SetDiscoveryRootForTesting((m_root + "/empty").c_str());
    EXPECT_EQ(m_platform.Discover(m_names, &m_cancel, 0), 0);
    EXPECT_TRUE(m_names.empty());
    EXPECT_TRUE(Probes().empty());
}

}  // namespace
