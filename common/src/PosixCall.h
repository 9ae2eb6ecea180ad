// System calls that an interrupting signal may cut short are repeated; close never is.
#pragma once

#include <cerrno>

template <typename Call>
auto RetryOnEintr(Call call) -> decltype(call()) {
    decltype(call()) result;
    do {
        result = call();
    } while (result == -1 && errno == EINTR);
    return result;
}
