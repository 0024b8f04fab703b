// A library for LD_PRELOAD that holds a program in the middle of writing a file, so that a test
// can kill it there, or look at what it has left so far, and let it go on.
//
// It replaces write(2). The first write of two bytes or more to a file whose path starts with
// ORV_STALL_WRITES_UNDER writes the first half of its bytes, stalls, then returns that half
// as a short write (a caller that writes in a loop sends the rest as usual). The path is the
// one /proc/self/fd shows: an unnamed O_TMPFILE file is "FOLDER/#INODE (deleted)", so a
// folder followed by "/" catches every file written there. Other writes pass straight through.
//
//   ORV_STALL_WRITES_UNDER  the path prefix; unset or empty, the library does nothing
//   ORV_STALL_READY_FILE    made (empty) once the half is written: the program is now stalled
//   ORV_STALL_RELEASE_FILE  the write goes on once this file exists
//   ORV_STALL_MILLISECONDS  without a release file: the write goes on after this long
//
// With neither of the last two, the write never goes on: the test is expected to kill the
// program. Only the first such write in a process stalls.
//
// Example: LD_PRELOAD=liborv_write_stall.so ORV_STALL_WRITES_UNDER=/tmp/out/
//          ORV_STALL_READY_FILE=/tmp/ready orv-render doc.orv /tmp/out/picture.bmp &
//          then wait for /tmp/ready and kill -KILL the program.

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

using WriteFunction = ssize_t (*)(int, const void*, size_t);

ssize_t realWrite(int fd, const void* buffer, size_t count) {
    static const auto next = reinterpret_cast<WriteFunction>(::dlsym(RTLD_NEXT, "write"));
    return next(fd, buffer, count);
}

bool isStalled(int fd) {
    const char* prefix = std::getenv("ORV_STALL_WRITES_UNDER");
    if (prefix == nullptr || *prefix == '\0') {
        return false;
    }
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[4096];
    const ssize_t length = ::readlink(link, path, sizeof path - 1);
    if (length < 0) {
        return false;
    }
    path[length] = '\0';
    return std::strncmp(path, prefix, std::strlen(prefix)) == 0;
}

void sleepFor(long milliseconds) {
    const timespec interval{milliseconds / 1000, (milliseconds % 1000) * 1000000};
    ::nanosleep(&interval, nullptr);
}

void stall() {
    if (const char* ready = std::getenv("ORV_STALL_READY_FILE")) {
        ::close(::open(ready, O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    }
    const char* release = std::getenv("ORV_STALL_RELEASE_FILE");
    const char* milliseconds = std::getenv("ORV_STALL_MILLISECONDS");
    if (release == nullptr && milliseconds != nullptr) {
        sleepFor(std::atol(milliseconds));
        return;
    }
    while (release == nullptr || ::access(release, F_OK) != 0) {
        sleepFor(10);
    }
}

std::atomic<bool> alreadyStalled{false};

}  // namespace

extern "C" ssize_t write(int fd, const void* buffer, size_t count) {
    if (count < 2 || !isStalled(fd) || alreadyStalled.exchange(true)) {
        return realWrite(fd, buffer, count);
    }
    const ssize_t half = realWrite(fd, buffer, count / 2);
    if (half > 0) {
        stall();
    }
    return half;
}
