#include "VibrolinkLibrary.h"

#include "DebugPrint.h"

namespace {

VibrolinkLibrary g_library;

}  // namespace

VibrolinkLibrary::~VibrolinkLibrary() {
    manager.Unload();
    TM_ReleaseHapsetManagerState(&hapsetState);
}

VibrolinkLibrary& Library() {
    return g_library;
}

void TakeManagerError() {
    int32_t code = Manager().GetLastDMError();
    if (code != 0)
        DebugPrint("[TI:DM] GetLastDMError non-zero: %d\n", code);
    SetLastError(code);
}

void TakeHapsetError() {
    SetLastError(TM_GetLastTMError(HapsetState()));
}
