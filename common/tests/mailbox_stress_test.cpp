// Several threads post and send while clients come and go and the peer connects and
// disconnects. Every message must be delivered at most once, every message for the client that
// stays must arrive, and the sanitizers check that each message is destroyed exactly once.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "FakeTransport.h"
#include "Poll.h"

namespace {

constexpr int kSenders = 3;
constexpr int kPerSender = 3000;
const char* const kFlipping[] = {"FLP0", "FLP1", "FLP2", "FLP3"};

struct Ledger {
    std::mutex lock;
    std::multiset<uint32_t> seen;
    std::atomic<int> keptDeliveries{0};

    void Record(uint32_t id) {
        std::lock_guard<std::mutex> guard(lock);
        seen.insert(id);
    }
};

uint32_t IdOf(const uint8_t* data) {
    uint32_t id;
    memcpy(&id, data, sizeof id);
    return id;
}

bool Kept(const MailboxMessageData& message, void* context, bool) {
    auto* ledger = static_cast<Ledger*>(context);
    ledger->Record(IdOf(message.data));
    ++ledger->keptDeliveries;
    return true;
}

bool Flipping(const MailboxMessageData& message, void* context, bool) {
    static_cast<Ledger*>(context)->Record(IdOf(message.data));
    return true;
}

TEST(MailboxStress, EveryMessageIsDeliveredAtMostOnceAndNoneIsLost) {
    auto log = std::make_shared<FakeTransportLog>();
    auto* fake = new FakeTransport(log);
    Ledger ledger;
    {
        Mailbox broker;
        broker.AssignRemoteTransport(fake);
        ASSERT_TRUE(broker.Register("KEEP", &Kept, &ledger));
        broker.Initialize();

        std::atomic<bool> sending{true};
        std::vector<std::thread> threads;
        for (int s = 0; s < kSenders; ++s) {
            threads.emplace_back([&broker, s] {
                for (int i = 0; i < kPerSender; ++i) {
                    uint32_t id = static_cast<uint32_t>(s * kPerSender + i) * 2;
                    // Even ids go to the client that stays, odd ids to one that comes and goes.
                    uint32_t other = id + 1;
                    const char* flip = kFlipping[i % 4];
                    if (i % 2 == 0) {
                        broker.PostMessage("KEEP", &id, sizeof id, 0);
                        broker.SendMessage(flip, &other, sizeof other, 0);
                    } else {
                        broker.SendMessage("KEEP", &id, sizeof id, 0);
                        broker.PostMessage(flip, &other, sizeof other, 0);
                    }
                }
            });
        }
        std::thread registrar([&] {
            while (sending) {
                for (const char* name : kFlipping)
                    broker.Register(name, &Flipping, &ledger);
                for (const char* name : kFlipping)
                    broker.Unregister(name);
                broker.GetMailboxStatus("FLP0");
                broker.IsRegistered("FLP1");
            }
        });
        std::thread peer([&] {
            while (sending) {
                fake->subscribed = !fake->subscribed;
                std::this_thread::yield();
            }
            fake->subscribed = true;
        });
        for (auto& thread : threads)
            thread.join();
        ASSERT_TRUE(PollUntil([&] { return ledger.keptDeliveries.load() == kSenders * kPerSender; },
                              std::chrono::seconds(60)));
        sending = false;
        registrar.join();
        peer.join();
        broker.Shutdown();
    }
    std::multiset<uint32_t> all = ledger.seen;
    for (const auto& bytes : log->sent)
        all.insert(IdOf(bytes.data() + 8));
    for (uint32_t id : all)
        ASSERT_EQ(all.count(id), 1u) << "message " << id << " went twice";
    for (uint32_t id = 0; id < kSenders * kPerSender * 2; id += 2) {
        ASSERT_EQ(ledger.seen.count(id), 1u) << "message " << id << " for the kept client";
    }
}

}  // namespace
