// Arbitrary bytes as a record: MemDecrypt must accept exactly those whose
// first byte is a key index, write exactly n - 1 bytes (into a library
// buffer and into an exact-size caller buffer), and unscramble them with
// that key byte.
#include "KestraneEncrypt.h"
#include "fuzz_check.h"
#include "key_table.h"

#include <climits>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > INT_MAX) {
        return 0;
    }
    const auto* const source = reinterpret_cast<const char*>(data);
    const int n = static_cast<int>(size);

    char* result = nullptr;
    int length = -7;
    const bool ok = CKestraneEncrypt::MemDecrypt(source, n, result, length);
    if (n == 0) {
        FUZZ_CHECK(!ok && result == nullptr && length == -7);
        return 0;
    }
    const bool valid = data[0] < kestrane::kKeyLength;
    FUZZ_CHECK(ok == valid);
    FUZZ_CHECK(length == n - 1);
    FUZZ_CHECK(result != nullptr);
    const unsigned char key = valid ? kestrane::kKeyTable[data[0]] : 0;
    for (int i = 0; ok && i < length; ++i) {
        FUZZ_CHECK(static_cast<unsigned char>(result[i]) == (data[i + 1] ^ key));
    }

    // An exact-size caller buffer: any write past it is a sanitizer report.
    char* const exact = static_cast<char*>(std::malloc(static_cast<std::size_t>(n - 1)));
    char* into = exact;
    int exactLength = -7;
    FUZZ_CHECK(CKestraneEncrypt::MemDecrypt(source, n, into, exactLength) == valid);
    FUZZ_CHECK(into == exact && exactLength == n - 1);
    FUZZ_CHECK(!valid || std::memcmp(exact, result, static_cast<std::size_t>(n - 1)) == 0);
    std::free(exact);
    CKestraneEncrypt::FreeResult(result);
    return 0;
}
