#include "Demo.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "HapsetFile.h"
#include "HapsetManager.h"
#include "PacketWords.h"
#include "SimController.h"
#include "Vibrolink.h"

namespace {

// The controller answers and the kit's device thread runs while the demonstration prints, so
// every line of the demonstration goes out whole.
std::mutex g_printLock;
std::atomic<int> g_firmwareReplies{0};
std::atomic<int> g_segmentReplies{0};
std::atomic<size_t> g_actionsReceived{0};

void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Say(const char* format, ...) {
    std::lock_guard<std::mutex> hold(g_printLock);
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

bool Check(bool ok, const char* what) {
    if (!ok)
        Say("vibroctl: %s failed (last error %d)\n", what, GetLastDrovoError());
    return ok;
}

// Reads the two replies the demonstration shows: the firmware version and the segment list.
void OnReply(int32_t deviceId, const uint8_t* packet, int32_t length) {
    if (length < 6 || packet[1] != 0xC8)
        return;
    if (packet[3] == 0x42 && packet[2] == 3) {
        Say("device %d: controller reports firmware version %X.%02X\n", deviceId, packet[5],
            packet[4]);
        ++g_firmwareReplies;
    } else if (packet[3] == 0x45) {
        std::string segments;
        int first = 1;
        for (int i = 4; i < 3 + packet[2] && i < length - 1; ++i) {
            segments += (segments.empty() ? "" : ", ") + std::to_string(first) + "-" +
                        std::to_string(packet[i]);
            first = packet[i] + 1;
        }
        Say("device %d: controller reports its segments %s\n", deviceId, segments.c_str());
        ++g_segmentReplies;
    }
}

void OnPacket(const drovo_sim::SimPacket& packet) {
    for (const std::string& line : DescribeInWords(packet))
        Say("  controller received: %s\n", line.c_str());
    g_actionsReceived += packet.actions.size();
}

// Polls the kit, as a client does, until done() or a few seconds have passed.
bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 500; ++i) {
        if (UpdateTI() != 0)
            return false;
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

bool WaitForActions(size_t count) {
    return WaitFor([count] { return g_actionsReceived.load() >= count; });
}

std::vector<std::string> SampleFiles(const std::string& dir) {
    std::vector<std::string> files;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* entry = readdir(d)) {
            std::string name = entry->d_name;
            if (name.size() > 5 && name.compare(name.size() - 5, 5, ".json") == 0)
                files.push_back(dir + "/" + name);
        }
        closedir(d);
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Commands sent one by one, as a client sends them.
bool SendCommands(int32_t id) {
    Say("\n== commands\n");
    size_t before = g_actionsReceived.load();
    bool ok = Check(Pulse(id, 3, 100, 5) == 0, "Pulse") &&
              Check(ChangeGain(id, 2, 200, 0) == 0, "ChangeGain") &&
              Check(ChangeFreq(id, 1, 2500, 0) == 0, "ChangeFreq") &&
              Check(RampGain(id, 1, 50, 250, 1000, 0, 0) == 0, "RampGain") &&
              Check(Pulse(id, 1, 1000, 0) == 0, "Pulse");
    return ok && Check(WaitForActions(before + 5), "waiting for the commands");
}

// Stores every sample in a new database, then loads the database as a client would.
bool BuildDatabase(const std::string& samplesDir, const std::string& path) {
    Say("\n== Hapset database %s\n", path.c_str());
    if (!Check(TM_CreateHapsetDatabase(path.c_str()) == 0, "creating the database"))
        return false;
    // An empty database opens but adds nothing.
    if (!Check(LoadHapsetDatabase(path.c_str()) == -1 && GetLastDrovoError() == 402015,
               "opening the empty database"))
        return false;
    SetLastDrovoError(0);
    std::vector<std::string> files = SampleFiles(samplesDir);
    if (!Check(!files.empty(), "finding the sample Hapsets"))
        return false;
    for (const std::string& file : files) {
        HapsetFile h;
        std::string error;
        if (!Check(ReadHapsetFile(file, h, error), error.c_str()))
            return false;
        int32_t saved =
            SaveNonLoadedHapset(0, h.name.c_str(), h.header.data(), h.segments.data(),
                                h.actionHeaders.data(), h.data.data(), h.locations.data());
        Say("\n");
        if (!Check(saved == 0, "SaveNonLoadedHapset"))
            return false;
    }
    if (!Check(UnloadHapsets() == 0, "UnloadHapsets"))
        return false;
    int32_t loaded = LoadHapsetDatabase(path.c_str());
    if (!Check(loaded == static_cast<int32_t>(files.size()), "LoadHapsetDatabase"))
        return false;
    for (int32_t i = 0; i < loaded; ++i)
        Say("loaded Hapset %d: %s, %d ms\n", i, GetHapsetName(i), GetHapsetDuration(i));
    return true;
}

int32_t IndexOf(const char* name) {
    for (int32_t i = 0; i < GetLoadedHapsetSize(); ++i) {
        if (std::string(GetHapsetName(i)) == name)
            return i;
    }
    return -1;
}

bool PlayHapsets(int32_t id) {
    int32_t sweep = IndexOf("sweep");
    int32_t heartbeat = IndexOf("heartbeat");
    if (!Check(sweep >= 0 && heartbeat >= 0, "finding the sample Hapsets"))
        return false;
    size_t before = g_actionsReceived.load();
    Say("\n== \"sweep\" placed to start at tactor 3, at twice the speed\n");
    if (!Check(CanHapsetMap(id, sweep, 3) == 0, "CanHapsetMap") ||
        !Check(PlayHapset(id, sweep, 3, 1.0f, 1.0f, 1.0f, 0.5f) == 0, "PlayHapset") ||
        !Check(WaitForActions(before + 4), "waiting for the sweep"))
        return false;
    Say("\n== \"heartbeat\" on segment 2, at half the gain\n");
    before = g_actionsReceived.load();
    return Check(PlayHapsetToSegment(id, heartbeat, 1, 2, 0.5f, 1.0f, 1.0f, 1.0f) == 0,
                 "PlayHapsetToSegment") &&
           Check(WaitForActions(before + 6), "waiting for the heartbeat");
}

class TemporaryDirectory {
  public:
    TemporaryDirectory() {
        char pattern[] = "/tmp/vibroctl-XXXXXX";
        if (mkdtemp(pattern))
            m_Path = pattern;
    }
    ~TemporaryDirectory() {
        if (m_Path.empty())
            return;
        unlink(File().c_str());
        rmdir(m_Path.c_str());
    }
    bool Ok() const { return !m_Path.empty(); }
    std::string File() const { return m_Path + "/hapsets.db"; }

  private:
    std::string m_Path;
};

bool Session(drovo_sim::SimController& controller, const std::string& samplesDir) {
    Say("\n== connecting to %s\n", controller.PortName().c_str());
    int32_t id = Connect(controller.PortName().c_str(), VIBROLINK_PLATFORM_SERIAL, OnReply);
    if (!Check(id >= 0, "Connect"))
        return false;
    Say("connected as device %d\n", id);
    bool ok = Check(WaitFor([] { return g_firmwareReplies > 0 && g_segmentReplies > 0; }),
                    "waiting for the firmware version and segment list") &&
              SendCommands(id);
    TemporaryDirectory directory;
    ok = ok && Check(directory.Ok(), "making a temporary directory") &&
         BuildDatabase(samplesDir, directory.File()) && PlayHapsets(id);
    Say("\n== closing\n");
    ok = Check(Close(id) == 0, "Close") && ok;
    return ok;
}

}  // namespace

int RunDemo(const std::string& samplesDir) {
    drovo_sim::SimController controller;
    if (!controller.Ok()) {
        std::fprintf(stderr, "vibroctl: cannot open a pseudo-terminal\n");
        return 1;
    }
    controller.SetFirmware(0x22, 0x05);
    controller.SetSegments({4, 8});
    controller.SetPacketObserver(OnPacket);
    Say("tactor kit %s: demonstration with a simulated controller\n", GetVersionNumber());
    if (!Check(InitializeTI() == 0, "InitializeTI"))
        return 1;
    bool ok = Session(controller, samplesDir);
    ok = Check(ShutdownTI() == 0, "ShutdownTI") && ok;
    Say(ok ? "\ndemonstration finished\n" : "\ndemonstration failed\n");
    return ok ? 0 : 1;
}
