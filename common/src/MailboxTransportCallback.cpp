#include "MailboxTransportCallback.h"

#include <memory>

#include "Mailbox.h"

MailboxTransportCallback::MailboxTransportCallback() : context(nullptr) {}

MailboxTransportCallback::~MailboxTransportCallback() = default;

void MailboxTransportCallback::SetContext(Mailbox* broker) {
    context = broker;
}

void MailboxTransportCallback::CheckContext() const {
    if (context == nullptr) {
        throw MailboxError("Someone is a jerk and didn't properly pass the context. Fix this!");
    }
}

void MailboxTransportCallback::OnMessageReceived(MailboxMessage* message) {
    // The message is ours from here on, also when there is nobody to hand it to.
    std::unique_ptr<MailboxMessage> owned(message);
    CheckContext();
    context->SendMessage(owned.release());
}

void MailboxTransportCallback::OnRemoteConnected() {
    CheckContext();
    context->DispatchClientRegistry();
}

void MailboxTransportCallback::OnRemoteDisconnected() {
    CheckContext();
}
