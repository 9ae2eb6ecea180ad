// Who may use a pipe: only processes that run as the same user as its server.
#pragma once

// True when the peer on the connected socket runs under this process's effective user. On a
// failed query or another user it prints a "[SEC]" line and answers false.
bool PipePeerIsCurrentUser(int socket, const char* pipeName);
