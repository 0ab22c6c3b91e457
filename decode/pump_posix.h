// The native build's PumpMessages: calls a hook that tests and tools may set (no hook: nothing happens).
#pragma once

extern void (*PumpHook)();
