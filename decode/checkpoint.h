// The progress checkpoint that both ways of writing a file share, and the flags that steer it.
#pragma once

#include <cstdint>

// Set once by a confirmed Cancel in the "Installing" dialog; never cleared.
extern int32_t AbortRequested;
// Set while the uninstaller (row 2) is written, so an abort never leaves it incomplete.
extern int32_t CopyUninterruptible;

// Drains the thread's message queue without waiting. The installer links decode/pump_win32.cpp;
// native builds link decode/pump_posix.cpp, whose hook lets a test see and steer every pump.
void PumpMessages();

constexpr uint32_t CheckpointStep = 102400;

// Run by a writer after each unit of work, once the unit's bytes are handed on and counted.
// Returns false when the current file must stop (an abort confirmed, the file not uninterruptible).
template <typename Count>
inline bool Checkpoint(Count count, Count* nextCheckpoint) {
    if (!(count > *nextCheckpoint)) return true;
    PumpMessages();
    if (AbortRequested && !CopyUninterruptible) return false;
    *nextCheckpoint += (Count)CheckpointStep;
    return true;
}
