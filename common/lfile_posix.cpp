// The compatibility file functions over POSIX descriptors, for the native build of the portable core.
#include "common/lfile.h"

#include <fcntl.h>
#include <unistd.h>

HFILE _lopen(const char* path, int /*mode*/) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    return fd < 0 ? HFILE_ERROR : fd;
}

HFILE _lcreat(const char* path, int /*attribute*/) {
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd < 0 ? HFILE_ERROR : fd;
}

long _llseek(HFILE file, long offset, int origin) {
    int whence = origin == FILE_BEGIN ? SEEK_SET : origin == FILE_CURRENT ? SEEK_CUR : SEEK_END;
    off_t pos = lseek(file, (off_t)offset, whence);
    return pos < 0 ? -1L : (long)pos;
}

unsigned _lread(HFILE file, void* buffer, unsigned count) {
    unsigned done = 0;
    while (done < count) {
        ssize_t got = read(file, (char*)buffer + done, count - done);
        if (got < 0) return done ? done : (unsigned)-1;
        if (got == 0) break;
        done += (unsigned)got;
    }
    return done;
}

unsigned _lwrite(HFILE file, const char* buffer, unsigned count) {
    unsigned done = 0;
    while (done < count) {
        ssize_t put = write(file, buffer + done, count - done);
        if (put <= 0) return done ? done : (unsigned)-1;
        done += (unsigned)put;
    }
    return done;
}

HFILE _lclose(HFILE file) {
    return close(file) == 0 ? 0 : HFILE_ERROR;
}
