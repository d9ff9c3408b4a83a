// MemEncrypt, MemDecrypt, FreeResult and the class's copy assignment.
#include "KestraneEncrypt.h"

#include "key_table.h"
#include "platform.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace kestrane {

namespace {

// On x86-64 ELF targets the compiler also builds an AVX2 copy of the XOR
// loop and the loader picks it where the CPU has AVX2: baseline SSE2 keeps
// up with memory, but not with an in-cache memcpy.
// Not under ThreadSanitizer: the loader runs the clone resolver before the
// sanitizer's run time is up, and the instrumented resolver crashes.
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KESTRANE_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define KESTRANE_THREAD_SANITIZER 1
#endif

#if defined(__x86_64__) && defined(__ELF__) && (defined(__GNUC__) || defined(__clang__)) && \
    !defined(KESTRANE_THREAD_SANITIZER)
#define KESTRANE_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KESTRANE_VECTOR_CLONES
#endif

// XOR n bytes with one key byte. Output and input may be the very same
// bytes (the file operations transform one buffer in place), so the loop
// must not assume they are apart. It works a block at a time: the whole
// block is loaded before any of it is stored, which is right for in-place
// use, needs no run-time overlap check, and keeps the loads clear of the
// stores just issued (with source and destination at the same offset within
// a page -- two large allocations -- interleaved loads and stores stall on
// false dependencies between them).
KESTRANE_VECTOR_CLONES
void XorBytes(const unsigned char* in, unsigned char* out, std::size_t n, unsigned char key)
{
    std::size_t i = 0;
#if defined(__GNUC__) || defined(__clang__)
    using Vector = unsigned char __attribute__((vector_size(32)));
    constexpr std::size_t kWidth = sizeof(Vector);
    Vector keys{};
    keys += key;  // the key byte in every lane
    for (; n - i >= 4 * kWidth; i += 4 * kWidth) {
        Vector a;
        Vector b;
        Vector c;
        Vector d;
        std::memcpy(&a, in + i, kWidth);
        std::memcpy(&b, in + i + kWidth, kWidth);
        std::memcpy(&c, in + i + 2 * kWidth, kWidth);
        std::memcpy(&d, in + i + 3 * kWidth, kWidth);
        a ^= keys;
        b ^= keys;
        c ^= keys;
        d ^= keys;
        std::memcpy(out + i, &a, kWidth);
        std::memcpy(out + i + kWidth, &b, kWidth);
        std::memcpy(out + i + 2 * kWidth, &c, kWidth);
        std::memcpy(out + i + 3 * kWidth, &d, kWidth);
    }
#endif
    for (; i < n; ++i) {
        out[i] = static_cast<unsigned char>(in[i] ^ key);
    }
}

const unsigned char* Bytes(const char* p)
{
    return reinterpret_cast<const unsigned char*>(p);
}

unsigned char* Bytes(char* p)
{
    return reinterpret_cast<unsigned char*>(p);
}

}  // namespace
}  // namespace kestrane

// The result is handed out through a char*&. The loops below work on local
// copies of that pointer: storing through result[i] would make the compiler
// assume each byte store may change the pointer itself, which defeats
// vectorisation.

bool CKestraneEncrypt::MemEncrypt(const char* source, int sourceLength, char*& result,
                                  int& resultLength)
{
    // The record is one byte longer than the source and its length must fit
    // in an int, so INT_MAX itself is refused.
    if (source == nullptr || sourceLength < 1 || sourceLength == INT_MAX) {
        return false;
    }
    resultLength = sourceLength + 1;
    if (result == nullptr) {
        result = static_cast<char*>(
            kestrane::platform::AllocateBuffer(static_cast<std::size_t>(resultLength)));
        if (result == nullptr) {
            return false;
        }
    }
    const int keyIndex = kestrane::CurrentKeyIndex();
    unsigned char* const record = kestrane::Bytes(result);
    record[0] = static_cast<unsigned char>(keyIndex);
    kestrane::XorBytes(kestrane::Bytes(source), record + 1, static_cast<std::size_t>(sourceLength),
                       kestrane::kKeyTable[keyIndex]);
    return true;
}

bool CKestraneEncrypt::MemDecrypt(const char* source, int sourceLength, char*& result,
                                  int& resultLength)
{
    if (source == nullptr || sourceLength < 1) {
        return false;
    }
    resultLength = sourceLength - 1;
    if (result == nullptr) {
        result = static_cast<char*>(
            kestrane::platform::AllocateBuffer(static_cast<std::size_t>(resultLength)));
        if (result == nullptr) {
            return false;
        }
    }
    const unsigned char* const record = kestrane::Bytes(source);
    const unsigned keyIndex = record[0];
    if (keyIndex >= static_cast<unsigned>(kestrane::kKeyLength)) {
        // The buffer allocated above stays with the caller, who releases it
        // with FreeResult as after any call.
        return false;
    }
    kestrane::XorBytes(record + 1, kestrane::Bytes(result), static_cast<std::size_t>(resultLength),
                       kestrane::kKeyTable[keyIndex]);
    return true;
}

void CKestraneEncrypt::FreeResult(char*& result)
{
    std::free(result);
    result = nullptr;
}

// Exported because the whole class is; there is nothing to copy, so
// self-assignment needs no care.
// NOLINTNEXTLINE(cert-oop54-cpp)
CKestraneEncrypt& CKestraneEncrypt::operator=(const CKestraneEncrypt& /*other*/)
{
    return *this;
}
