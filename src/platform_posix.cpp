// File-system operations for POSIX systems.
#include "platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace kestrane {
namespace platform {

void* AllocateBuffer(std::size_t size)
{
#if defined(MADV_HUGEPAGE)
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    constexpr std::size_t kHugeThreshold = 4 * kHugePage;
    if (size >= kHugeThreshold) {
        void* memory = nullptr;
        if (posix_memalign(&memory, kHugePage, size) != 0) {
            return nullptr;
        }
        // Only whole huge pages: the tail stays in small pages, so the
        // buffer never holds much more memory than it was asked for.
        static_cast<void>(madvise(memory, size - size % kHugePage, MADV_HUGEPAGE));
        return memory;
    }
#endif
    return std::malloc(size == 0 ? 1 : size);
}

bool MeasureStream(std::FILE* stream, std::uint64_t& size)
{
    if (fseeko(stream, 0, SEEK_END) != 0) {
        return false;
    }
    const off_t end = ftello(stream);
    if (end < 0 || fseeko(stream, 0, SEEK_SET) != 0) {
        return false;
    }
    size = static_cast<std::uint64_t>(end);
    return true;
}

namespace {

// The permission a file created the way fopen(path, "wb") creates it: the
// process umask is applied by the kernel, never read (reading it means
// setting it, which races with other threads of the host).
constexpr mode_t kCreateMode = S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;

bool WritePieces(int fd, const char* data, std::size_t size)
{
    // Linux writes at most about 2 GiB at a time; smaller pieces are as fast.
    constexpr std::size_t kMaxPiece = std::size_t{1} << 30;
    while (size > 0) {
        const std::size_t piece = size < kMaxPiece ? size : kMaxPiece;
        const ssize_t written = write(fd, data, piece);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {  // no progress on a non-empty write: give up
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Write all of data. The file operations hand over a buffer one byte off a
// cache-line boundary (the key index sits before the aligned body, or the
// body one past the key index), and the kernel copies from a misaligned
// source several times slower: the few bytes up to the boundary go first.
bool WriteAll(int fd, const char* data, std::size_t size)
{
    constexpr std::size_t kAlignment = 64;
    const std::size_t misalignment = reinterpret_cast<std::uintptr_t>(data) % kAlignment;
    std::size_t head = misalignment == 0 ? 0 : kAlignment - misalignment;
    if (head > size || size < 4096) {
        head = size;
    }
    return WritePieces(fd, data, head) && WritePieces(fd, data + head, size - head);
}

bool CloseChecked(int fd)
{
    // A full disk or a remote file system may report a failed write only
    // here. After EINTR the descriptor is gone on Linux, and whether the
    // data made it is unknown: count it as a failure.
    return close(fd) == 0;
}

// Open, write and close in place, as fopen(path, "wb") would.
bool WriteDirectly(const char* path, const char* data, std::size_t size)
{
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kCreateMode);
    if (fd < 0) {
        return false;
    }
    const bool written = WriteAll(fd, data, size);
    return CloseChecked(fd) && written;
}

std::uint64_t Mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

// A new, empty file beside path, named path + ".kestrane-" + 12 random
// characters, created exclusively, with the permissions a new destination
// would get. tempPath receives its name (malloc'd; the caller frees it).
// Returns the descriptor, or -1 with errno set by the last attempt.
int CreateTempBeside(const char* path, char*& tempPath)
{
    static const char kInfix[] = ".kestrane-";
    constexpr std::size_t kDigits = 12;
    const std::size_t length = std::strlen(path);
    tempPath = static_cast<char*>(std::malloc(length + sizeof kInfix + kDigits));
    if (tempPath == nullptr) {
        errno = ENOMEM;
        return -1;
    }
    std::memcpy(tempPath, path, length);
    std::memcpy(tempPath + length, kInfix, sizeof kInfix - 1);
    char* const digits = tempPath + length + sizeof kInfix - 1;
    digits[kDigits] = '\0';

    // Names only need to differ between processes and threads that race
    // here; O_EXCL settles any collision.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::uint64_t seed = Mix(static_cast<std::uint64_t>(getpid())) ^
                         Mix(static_cast<std::uint64_t>(now.tv_nsec) +
                             (static_cast<std::uint64_t>(now.tv_sec) << 30)) ^
                         Mix(reinterpret_cast<std::uintptr_t>(&now));
    static const char kAlphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::uint64_t bits = seed = Mix(seed);
        for (std::size_t i = 0; i < kDigits; ++i) {
            digits[i] = kAlphabet[bits % 36];
            bits /= 36;
        }
        const int fd = open(tempPath, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kCreateMode);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Give the replacement the existing file's owner, group and permission
// bits. Owner and group only where the process may set them; a failed
// chmod of our own new file is a real failure.
bool CopyAttributes(int fd, const struct stat& existing)
{
    if (fchown(fd, existing.st_uid, existing.st_gid) != 0) {
        static_cast<void>(fchown(fd, static_cast<uid_t>(-1), existing.st_gid));
    }
    // After chown, since chown may clear set-user-ID and set-group-ID bits.
    return fchmod(fd, existing.st_mode & 07777) == 0;
}

// Write path (which is not a symbolic link) through a file beside it.
bool ReplaceThroughTemp(const char* path, const char* data, std::size_t size)
{
    struct stat existing {};
    const bool exists = stat(path, &existing) == 0;
    if (!exists && errno != ENOENT) {
        return false;
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        return WriteDirectly(path, data, size);  // a pipe, a device: never replace
    }
    if (exists) {
        // Renaming over a file needs only a writable directory; writing it
        // needs a writable file. A write-protected destination must stay
        // refused, as it is to fopen: ask the system by opening it for
        // writing (without truncating), which weighs every rule it has.
        const int probe = open(path, O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (probe < 0) {
            return false;
        }
        close(probe);
    }

    char* tempPath = nullptr;
    const int fd = CreateTempBeside(path, tempPath);
    if (fd < 0) {
        const int reason = errno;
        std::free(tempPath);
        // A writable file in a directory we may not add to: the only way to
        // write it is in place, as a plain fopen would.
        if (reason == EACCES || reason == EPERM || reason == ENAMETOOLONG) {
            return WriteDirectly(path, data, size);
        }
        return false;
    }

    bool ok = WriteAll(fd, data, size);
    if (ok && exists) {
        ok = CopyAttributes(fd, existing);
    }
    ok = CloseChecked(fd) && ok;
    ok = ok && rename(tempPath, path) == 0;
    if (!ok) {
        unlink(tempPath);
    }
    std::free(tempPath);
    return ok;
}

}  // namespace

bool WriteFileReplacing(const char* path, const char* data, std::size_t size)
{
    struct stat link {};
    if (lstat(path, &link) != 0) {
        if (errno != ENOENT) {
            return false;  // unknown: it might be a link that must stay one
        }
    } else if (S_ISLNK(link.st_mode)) {
        // Keep the link and replace what it points to.
        char* const target = realpath(path, nullptr);
        if (target == nullptr) {
            // A dangling link: nothing to lose, so let open create its
            // target as fopen would. Anything else is a failure.
            return errno == ENOENT && WriteDirectly(path, data, size);
        }
        const bool ok = ReplaceThroughTemp(target, data, size);
        std::free(target);
        return ok;
    }
    return ReplaceThroughTemp(path, data, size);
}

}  // namespace platform
}  // namespace kestrane
