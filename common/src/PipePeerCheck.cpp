#include "PipePeerCheck.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

bool PipePeerIsCurrentUser(int socket, const char* pipeName) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) {
        printf("[SEC] Failure: SO_PEERCRED\n");
        return false;
    }
    if (peer.uid != geteuid()) {
        printf("[SEC] Failure: refused peer of user %u on %s\n", static_cast<unsigned>(peer.uid),
               pipeName);
        return false;
    }
    return true;
}
