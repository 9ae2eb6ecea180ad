// The module's one process-wide last-error code.
#pragma once

namespace drovo_winusb {

void SetLastError(int code);
int LastError();

// Sets `code` and returns -1, the failure result of the module's functions.
int Fail(int code);

}  // namespace drovo_winusb
