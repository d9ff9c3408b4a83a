// Small helpers shared by the codec tests.
#ifndef KESTRANE_TESTS_TEST_SUPPORT_H
#define KESTRANE_TESTS_TEST_SUPPORT_H

#include "KestraneEncrypt.h"
#include "key_table.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <vector>

namespace kestrane_test {

using Bytes = std::vector<unsigned char>;

// FileEncrypt or FileDecrypt, for tables of cases that run either.
using FileOperation = bool (*)(const char*, const char*);

inline FileOperation FileOperationFor(bool encrypt)
{
    return encrypt ? &CKestraneEncrypt::FileEncrypt : &CKestraneEncrypt::FileDecrypt;
}

// n bytes that walk through every byte value, zero included.
inline Bytes Pattern(std::size_t n, unsigned seed = 0)
{
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i) {
        bytes[i] = static_cast<unsigned char>((i * 131U + seed) & 0xFFU);
    }
    return bytes;
}

inline const char* Chars(const Bytes& bytes)
{
    return reinterpret_cast<const char*>(bytes.data());
}

inline char* Chars(Bytes& bytes)
{
    return reinterpret_cast<char*>(bytes.data());
}

// The record that the library must produce for plain under key index k.
inline Bytes ExpectedRecord(const Bytes& plain, int k)
{
    Bytes record;
    record.reserve(plain.size() + 1);
    record.push_back(static_cast<unsigned char>(k));
    for (const unsigned char b : plain) {
        record.push_back(static_cast<unsigned char>(b ^ kestrane::kKeyTable[k]));
    }
    return record;
}

// The key index the library draws from the clock at this moment.
inline int KeyIndexNow()
{
    return kestrane::KeyIndexFromSeconds(
        static_cast<std::uint32_t>(static_cast<std::uint64_t>(std::time(nullptr))));
}

// Result of one buffer call into a library-allocated buffer, released
// through FreeResult before returning.
struct CallResult {
    bool ok = false;
    int length = -12345;
    bool allocated = false;
    Bytes bytes;
};

template <typename Operation>
CallResult CallAllocating(Operation operation, const Bytes& source)
{
    CallResult r;
    char* out = nullptr;
    r.ok = operation(Chars(source), static_cast<int>(source.size()), out, r.length);
    r.allocated = out != nullptr;
    if (r.ok) {
        r.bytes.assign(out, out + r.length);
    }
    CKestraneEncrypt::FreeResult(out);
    return r;
}

inline CallResult Encrypt(const Bytes& plain)
{
    return CallAllocating(&CKestraneEncrypt::MemEncrypt, plain);
}

inline CallResult Decrypt(const Bytes& record)
{
    return CallAllocating(&CKestraneEncrypt::MemDecrypt, record);
}

}  // namespace kestrane_test

#endif
