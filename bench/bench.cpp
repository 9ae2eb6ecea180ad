// Times the kit's hot paths: encoding a command, a command's trip to the controller and back
// through the update thread, and a posted mailbox message's wait for its dispatch pass.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "Action.h"
#include "Mailbox.h"
#include "SimController.h"
#include "Vibrolink.h"

namespace {

void BM_EncodeAndPackage(benchmark::State& state) {
    uint8_t out[10];
    for (auto _ : state) {
        Action action{};
        action.timeFactor = 10;
        TacOnTime(&action, 5, 3, 100);
        benchmark::DoNotOptimize(Package_Action(&action, out, sizeof out));
        free(action.data);
    }
}
BENCHMARK(BM_EncodeAndPackage);

// Counts the controller's replies so a benchmark can wait for the acknowledgement of its command.
struct ReplyCounter {
    std::mutex lock;
    std::condition_variable changed;
    long replies = 0;

    void Count() {
        std::lock_guard<std::mutex> guard(lock);
        ++replies;
        changed.notify_all();
    }
    bool WaitPast(long seen) {
        std::unique_lock<std::mutex> guard(lock);
        return changed.wait_for(guard, std::chrono::seconds(2), [&] { return replies > seen; });
    }
    long Seen() {
        std::lock_guard<std::mutex> guard(lock);
        return replies;
    }
};

ReplyCounter g_replies;

void OnReply(int32_t, const uint8_t* packet, int32_t) {
    if (packet != nullptr)
        g_replies.Count();
}

// One pulse from the exported call to the controller's acknowledgement over a pseudo-terminal.
void BM_PulseAcknowledged(benchmark::State& state) {
    drovo_sim::SimController controller;
    if (!controller.Ok() || InitializeTI() != 0) {
        state.SkipWithError("no simulated controller");
        return;
    }
    int32_t id = Connect(controller.PortName().c_str(), 1, OnReply);
    if (id < 0) {
        state.SkipWithError("connect failed");
        ShutdownTI();
        return;
    }
    // Let the segment-list request that follows a connect be answered first.
    controller.WaitForPackets(2, std::chrono::seconds(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    for (auto _ : state) {
        long seen = g_replies.Seen();
        Pulse(id, 1, 100, 0);
        if (!g_replies.WaitPast(seen)) {
            state.SkipWithError("no acknowledgement");
            break;
        }
    }
    ShutdownTI();
}
BENCHMARK(BM_PulseAcknowledged)->Unit(benchmark::kMicrosecond)->UseRealTime();

struct Delivery {
    std::mutex lock;
    std::condition_variable changed;
    long delivered = 0;
};

bool OnMessage(const MailboxMessageData&, void* context, bool) {
    auto* delivery = static_cast<Delivery*>(context);
    std::lock_guard<std::mutex> guard(delivery->lock);
    ++delivery->delivered;
    delivery->changed.notify_all();
    return true;
}

// A posted message from PostMessage to the client's callback on the dispatch thread.
void BM_MailboxPostDelivered(benchmark::State& state) {
    Mailbox broker;
    Delivery delivery;
    broker.Register("bnch", OnMessage, &delivery);
    broker.Initialize();
    const char payload[16] = "tactile";
    for (auto _ : state) {
        std::unique_lock<std::mutex> guard(delivery.lock);
        long seen = delivery.delivered;
        guard.unlock();
        broker.PostMessage("bnch", payload, sizeof payload, 1);
        guard.lock();
        delivery.changed.wait(guard, [&] { return delivery.delivered > seen; });
    }
    broker.Shutdown();
}
BENCHMARK(BM_MailboxPostDelivered)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
