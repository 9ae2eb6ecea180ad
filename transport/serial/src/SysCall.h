// Every system call of the module goes through SysCall, which retries calls interrupted by a
// signal and lets tests make a chosen call fail. close() is never retried: after EINTR the
// descriptor is already gone on Linux, and a retry could close a descriptor reused meanwhile.
#pragma once

#include <cerrno>

namespace drovo_serial {

// True once, when a test asked the next call named `name` to fail; errno is then set.
bool TakeInjectedFailure(const char* name);

// Test hook: the next SysCall attempt under `name` fails with `error` without running (EINTR
// is then retried like a real interruption). Pass a null name
// to drop a pending injection.
void InjectSysCallFailure(const char* name, int error);

template <typename Call>
auto SysCall(const char* name, Call call) -> decltype(call()) {
    decltype(call()) result;
    do {
        result = TakeInjectedFailure(name) ? -1 : call();
    } while (result == -1 && errno == EINTR);
    return result;
}

}  // namespace drovo_serial
