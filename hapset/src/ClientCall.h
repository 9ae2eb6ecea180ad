// The prologue of an export that works on an initialised state under the client lock.
#ifndef HAPSET_CLIENT_CALL_H
#define HAPSET_CLIENT_CALL_H

#include <mutex>

#include "HapsetManager.h"

// Takes the client lock for a state that is there and holds it until destroyed. ready() is
// false for a null state, and for a state not initialised, which is then given
// HAPSET_NOT_INITIALISED as its last error.
class InitialisedClientCall {
  public:
    explicit InitialisedClientCall(HapsetManagerState* state);
    bool ready() const { return m_ready; }

  private:
    std::unique_lock<std::mutex> m_lock;
    bool m_ready = false;
};

#endif
