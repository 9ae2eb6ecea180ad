#include "Mailbox.h"
#include "MailboxPipe.h"

namespace MailboxHelpers {

namespace {

void AddPipeToMailbox(Mailbox& broker, const char* pipeName, MailboxPipeMode mode) {
    MailboxPipe* transport = new MailboxPipe();
    transport->Initialize(static_cast<uint16_t>(mode));
    transport->SubscribeToRemote(pipeName, 0);
    broker.AssignRemoteTransport(transport);
}

}  // namespace

void AddPipeServerToMailbox(Mailbox& broker, const char* pipeName) {
    AddPipeToMailbox(broker, pipeName, MAILBOX_PIPE_MODE_SERVER);
}

void AddPipeClientToMailbox(Mailbox& broker, const char* pipeName) {
    AddPipeToMailbox(broker, pipeName, MAILBOX_PIPE_MODE_CLIENT);
}

}  // namespace MailboxHelpers
