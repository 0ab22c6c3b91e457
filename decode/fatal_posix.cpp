// FatalStop for native builds: one line on stderr naming the file that could not be written.
#include "decode/stream.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

void FatalStop() {
    int error = errno;
    std::fprintf(stderr, "error: could not write %s: %s\n", FatalStopTarget,
                 error ? std::strerror(error) : "short write");
    std::exit(1);
}
