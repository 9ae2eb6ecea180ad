// A mailbox client for tests: records every delivery and answers with a chosen result.
#pragma once

#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "Mailbox.h"

struct Delivery {
    std::string address;
    std::string data;
    uint16_t type;
    bool immediate;
};

struct Inbox {
    std::mutex lock;
    std::vector<Delivery> deliveries;
    bool answer = true;
    bool throwOnDelivery = false;

    static bool Callback(const MailboxMessageData& message, void* context, bool isImmediate) {
        Inbox* inbox = static_cast<Inbox*>(context);
        std::lock_guard<std::mutex> guard(inbox->lock);
        inbox->deliveries.push_back(
            {message.address,
             std::string(reinterpret_cast<const char*>(message.data), message.dataLength),
             message.messageType, isImmediate});
        if (inbox->throwOnDelivery)
            throw std::runtime_error("client failed");
        return inbox->answer;
    }

    size_t Count() {
        std::lock_guard<std::mutex> guard(lock);
        return deliveries.size();
    }
    std::vector<Delivery> Snapshot() {
        std::lock_guard<std::mutex> guard(lock);
        return deliveries;
    }
};
