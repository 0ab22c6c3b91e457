// PumpMessages for native builds: there is no message queue, only an optional hook for tests.
#include "decode/checkpoint.h"
#include "decode/pump_posix.h"

void (*PumpHook)() = nullptr;

void PumpMessages() {
    if (PumpHook) PumpHook();
}
