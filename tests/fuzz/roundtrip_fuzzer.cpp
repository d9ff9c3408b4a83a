// Any input must come back unchanged through MemEncrypt and MemDecrypt,
// through library buffers, exact-size caller buffers and one buffer
// transformed in place.
#include "KestraneEncrypt.h"
#include "fuzz_check.h"
#include "key_table.h"

#include <climits>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || size >= INT_MAX) {
        return 0;
    }
    const auto* const plain = reinterpret_cast<const char*>(data);
    const int n = static_cast<int>(size);

    char* record = nullptr;
    int recordLength = 0;
    FUZZ_CHECK(CKestraneEncrypt::MemEncrypt(plain, n, record, recordLength));
    FUZZ_CHECK(recordLength == n + 1);
    const unsigned k = static_cast<unsigned char>(record[0]);
    FUZZ_CHECK(k < static_cast<unsigned>(kestrane::kKeyLength));
    for (int i = 0; i < n; ++i) {
        FUZZ_CHECK(static_cast<unsigned char>(record[i + 1]) == (data[i] ^ kestrane::kKeyTable[k]));
    }

    char* const back = static_cast<char*>(std::malloc(size));
    char* into = back;
    int backLength = 0;
    FUZZ_CHECK(CKestraneEncrypt::MemDecrypt(record, recordLength, into, backLength));
    FUZZ_CHECK(into == back && backLength == n && std::memcmp(back, plain, size) == 0);
    std::free(back);
    CKestraneEncrypt::FreeResult(record);

    // In place: the plain bytes at offset 1 of one exact-size buffer.
    char* const buffer = static_cast<char*>(std::malloc(size + 1));
    std::memcpy(buffer + 1, plain, size);
    char* result = buffer;
    FUZZ_CHECK(CKestraneEncrypt::MemEncrypt(buffer + 1, n, result, recordLength) &&
               result == buffer);
    result = buffer + 1;
    FUZZ_CHECK(CKestraneEncrypt::MemDecrypt(buffer, n + 1, result, backLength));
    FUZZ_CHECK(std::memcmp(buffer + 1, plain, size) == 0);
    std::free(buffer);
    return 0;
}
