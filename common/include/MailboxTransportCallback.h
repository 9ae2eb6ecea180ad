// The broker's receiving object: a transport reports received messages and connection changes
// into the broker through it.
#pragma once

#include "DrovoCommonExport.h"

class Mailbox;
class MailboxMessage;

class DROVO_COMMON_API MailboxTransportCallback {
  public:
    MailboxTransportCallback();
    virtual ~MailboxTransportCallback();

    // Hands the message to the broker's SendMessage, which takes ownership. Throws MailboxError
    // (and destroys the message) when no broker is set.
    virtual void OnMessageReceived(MailboxMessage* message);
    // The broker sends its address list to the new peer. Throws MailboxError without a broker.
    virtual void OnRemoteConnected();
    // Nothing to do beyond the broker check. Throws MailboxError without a broker.
    virtual void OnRemoteDisconnected();

    void SetContext(Mailbox* broker);

  private:
    void CheckContext() const;

    Mailbox* context;
};
