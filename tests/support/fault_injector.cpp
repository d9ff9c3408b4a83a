#include "fault_injector.h"

#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

// glibc's own allocator entry points, which our malloc family forwards to.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* memory, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* memory);
}

namespace kestrane_test {
namespace {

struct State {
    bool armed = false;
    FaultKind kind = FaultKind::kAllocation;
    long failAt = 0;
    FaultReport report;
    const char* resizePath = nullptr;
    long resizeTo = -1;
};

State state;

// True when this call, of the given kind, is the one to fail.
bool Fail(FaultKind kind)
{
    if (!state.armed || state.kind != kind) {
        return false;
    }
    if (++state.report.calls != state.failAt) {
        return false;
    }
    state.report.injected = true;
    return true;
}

void* Allocated(void* memory)
{
    if (state.armed && memory != nullptr) {
        ++state.report.liveAllocations;
    }
    return memory;
}

template <typename Function>
Function Real(Function, const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

void Arm(FaultKind kind, long failAt)
{
    state = State{};
    state.kind = kind;
    state.failAt = failAt;
    state.armed = true;
}

FaultReport Disarm()
{
    state.armed = false;
    state.resizePath = nullptr;
    return state.report;
}

void ResizeOnMeasure(const char* path, long newSize)
{
    state.resizePath = path;
    state.resizeTo = newSize;
}

}  // namespace kestrane_test

using kestrane_test::Allocated;
using kestrane_test::Fail;
using kestrane_test::FaultKind;
using kestrane_test::Real;
using kestrane_test::state;

extern "C" {

void* malloc(std::size_t size)
{
    return Fail(FaultKind::kAllocation) ? nullptr : Allocated(__libc_malloc(size));
}

void* calloc(std::size_t count, std::size_t size)
{
    return Fail(FaultKind::kAllocation) ? nullptr : Allocated(__libc_calloc(count, size));
}

void* realloc(void* memory, std::size_t size)
{
    if (Fail(FaultKind::kAllocation)) {
        return nullptr;
    }
    void* const moved = __libc_realloc(memory, size);
    return memory == nullptr ? Allocated(moved) : moved;
}

int posix_memalign(void** memory, std::size_t alignment, std::size_t size)
{
    if (Fail(FaultKind::kAllocation)) {
        return ENOMEM;
    }
    *memory = Allocated(__libc_memalign(alignment, size));
    return *memory != nullptr ? 0 : ENOMEM;
}

void* aligned_alloc(std::size_t alignment, std::size_t size)
{
    return Fail(FaultKind::kAllocation) ? nullptr : Allocated(__libc_memalign(alignment, size));
}

void free(void* memory)
{
    if (state.armed && memory != nullptr) {
        --state.report.liveAllocations;
    }
    __libc_free(memory);
}

// I/O: each fails the way the system would report it.

FILE* fopen(const char* path, const char* mode)
{
    static const auto real = Real(&fopen, "fopen");
    if (Fail(FaultKind::kIo)) {
        errno = EIO;
        return nullptr;
    }
    return real(path, mode);
}

int fclose(FILE* stream)
{
    static const auto real = Real(&fclose, "fclose");
    const int result = real(stream);  // the stream is gone either way
    if (Fail(FaultKind::kIo)) {
        errno = EIO;
        return EOF;
    }
    return result;
}

int fseeko(FILE* stream, off_t offset, int whence)
{
    static const auto real = Real(&fseeko, "fseeko");
    if (Fail(FaultKind::kIo)) {
        errno = EIO;
        return -1;
    }
    return real(stream, offset, whence);
}

off_t ftello(FILE* stream)
{
    static const auto real = Real(&ftello, "ftello");
    if (Fail(FaultKind::kIo)) {
        errno = EIO;
        return -1;
    }
    const off_t position = real(stream);
    if (state.armed && state.resizePath != nullptr) {
        static_cast<void>(truncate(state.resizePath, state.resizeTo));
    }
    return position;
}

std::size_t fread(void* buffer, std::size_t size, std::size_t count, FILE* stream)
{
    static const auto real = Real(&fread, "fread");
    if (Fail(FaultKind::kIo)) {
        errno = EIO;
        return 0;
    }
    return real(buffer, size, count, stream);
}

int open(const char* path, int flags, ...)
{
    static const auto real = Real(&open, "open");
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0) {
        va_list arguments;
        va_start(arguments, flags);
        mode = static_cast<mode_t>(va_arg(arguments, unsigned));
        va_end(arguments);
    }
    if (Fail(FaultKind::kIo)) {
        errno = EIO;
        return -1;
    }
    return real(path, flags, mode);
}

ssize_t write(int fd, const void* buffer, std::size_t size)
{
    static const auto real = Real(&write, "write");
    if (Fail(FaultKind::kIo)) {
        errno = ENOSPC;
        return -1;
    }
    return real(fd, buffer, size);
}

int close(int fd)
{
    static const auto real = Real(&close, "close");
    const int result = real(fd);  // Linux releases the descriptor even on error
    if (Fail(FaultKind::kIo)) {
        errno = EIO;
        return -1;
    }
    return result;
}

int rename(const char* from, const char* to)
{
    static const auto real = Real(&rename, "rename");
    if (Fail(FaultKind::kIo)) {
        errno = EIO;
        return -1;
    }
    return real(from, to);
}

int fchmod(int fd, mode_t mode)
{
    static const auto real = Real(&fchmod, "fchmod");
    if (Fail(FaultKind::kIo)) {
        errno = EIO;
        return -1;
    }
    return real(fd, mode);
}

int fchown(int fd, uid_t owner, gid_t group)
{
    static const auto real = Real(&fchown, "fchown");
    if (Fail(FaultKind::kIo)) {
        errno = EPERM;
        return -1;
    }
    return real(fd, owner, group);
}

int stat(const char* path, struct stat* status)
{
    static const auto real = Real(&stat, "stat");
    if (Fail(FaultKind::kIo)) {
        errno = EIO;
        return -1;
    }
    return real(path, status);
}

int lstat(const char* path, struct stat* status)
{
    static const auto real = Real(&lstat, "lstat");
    if (Fail(FaultKind::kIo)) {
        errno = EIO;
        return -1;
    }
    return real(path, status);
}

char* realpath(const char* path, char* resolved)
{
    static const auto real = Real(&realpath, "realpath");
    if (Fail(FaultKind::kIo)) {
        errno = EIO;
        return nullptr;
    }
    return real(path, resolved);
}

}  // extern "C"
