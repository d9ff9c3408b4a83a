// File-system operations for Windows.
#include "platform.h"

#include <cstdlib>
#include <cstring>

#include <windows.h>

namespace kestrane {
namespace platform {

void* AllocateBuffer(std::size_t size)
{
    return std::malloc(size == 0 ? 1 : size);
}

bool MeasureStream(std::FILE* stream, std::uint64_t& size)
{
    // long is 32 bits on Windows: ftell cannot tell a 2 GiB file's size.
    if (_fseeki64(stream, 0, SEEK_END) != 0) {
        return false;
    }
    const __int64 end = _ftelli64(stream);
    if (end < 0 || _fseeki64(stream, 0, SEEK_SET) != 0) {
        return false;
    }
    size = static_cast<std::uint64_t>(end);
    return true;
}

namespace {

bool WriteAll(HANDLE file, const char* data, std::size_t size)
{
    constexpr std::size_t kMaxPiece = std::size_t{1} << 30;
    while (size > 0) {
        const DWORD piece = static_cast<DWORD>(size < kMaxPiece ? size : kMaxPiece);
        DWORD written = 0;
        if (WriteFile(file, data, piece, &written, nullptr) == 0 || written == 0) {
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Write and close; false unless every byte was written and the close
// succeeded.
bool WriteAndClose(HANDLE file, const char* data, std::size_t size)
{
    const bool written = WriteAll(file, data, size);
    return CloseHandle(file) != 0 && written;
}

// Open, write and close in place, as fopen(path, "wb") would.
bool WriteDirectly(const char* path, const char* data, std::size_t size)
{
    const HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file != INVALID_HANDLE_VALUE && WriteAndClose(file, data, size);
}

// A new file beside path, named path + ".kestrane-" + 8 hex digits, created
// exclusively; tempPath receives its name (malloc'd; the caller frees it).
HANDLE CreateTempBeside(const char* path, char*& tempPath, DWORD& error)
{
    static const char kInfix[] = ".kestrane-";
    constexpr std::size_t kDigits = 8;
    const std::size_t length = std::strlen(path);
    tempPath = static_cast<char*>(std::malloc(length + sizeof kInfix + kDigits));
    if (tempPath == nullptr) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        return INVALID_HANDLE_VALUE;
    }
    std::memcpy(tempPath, path, length);
    std::memcpy(tempPath + length, kInfix, sizeof kInfix - 1);
    char* const digits = tempPath + length + sizeof kInfix - 1;
    digits[kDigits] = '\0';

    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    unsigned long long seed = static_cast<unsigned long long>(counter.QuadPart) ^
                              (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^
                              GetCurrentThreadId();
    for (int attempt = 0; attempt < 64; ++attempt) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        unsigned long long bits = seed >> 16;
        for (std::size_t i = 0; i < kDigits; ++i) {
            digits[i] = "0123456789abcdef"[bits & 0xF];
            bits >>= 4;
        }
        const HANDLE file = CreateFileA(tempPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            return file;
        }
        error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            return INVALID_HANDLE_VALUE;
        }
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

bool WriteFileReplacing(const char* path, const char* data, std::size_t size)
{
    const DWORD attributes = GetFileAttributesA(path);
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            return false;  // a missing directory, no access, a bad name
        }
    } else {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return false;
        }
        // A read-only file refuses fopen(path, "wb"); replacing it by a
        // rename would quietly defeat the protection.
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return false;
        }
    }

    char* tempPath = nullptr;
    DWORD error = 0;
    const HANDLE file = CreateTempBeside(path, tempPath, error);
    if (file == INVALID_HANDLE_VALUE) {
        std::free(tempPath);
        // A writable file in a directory that takes no new file: in place.
        return error == ERROR_ACCESS_DENIED && WriteDirectly(path, data, size);
    }
    bool ok = WriteAndClose(file, data, size);
    if (ok && exists) {
        // Keep the flags a host may have set (hidden, system, archive...).
        constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        const DWORD kept = attributes & kKept;
        SetFileAttributesA(tempPath, kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
    }
    // Replacing an existing file needs MOVEFILE_REPLACE_EXISTING; a plain
    // rename fails on Windows when the destination exists.
    ok = ok && MoveFileExA(tempPath, path, MOVEFILE_REPLACE_EXISTING) != 0;
    if (!ok) {
        DeleteFileA(tempPath);
    }
    std::free(tempPath);
    return ok;
}

}  // namespace platform
}  // namespace kestrane
