#include "DrovoWinBluetooth.h"

extern "C" void __dummy__remove__this__(void) {}
