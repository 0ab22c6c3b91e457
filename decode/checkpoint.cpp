// The abort flags, one global instance each for the whole process.
#include "decode/checkpoint.h"

int32_t AbortRequested = 0;
int32_t CopyUninterruptible = 0;
