#include "ClientCall.h"

#include "ManagerState.h"

InitialisedClientCall::InitialisedClientCall(HapsetManagerState* state) {
    if (!state) {
        return;
    }
    m_lock = std::unique_lock<std::mutex>(ClientLock());
    m_ready = state->initialized;
    if (!m_ready) {
        SetLastError(state, HAPSET_NOT_INITIALISED);
    }
}
