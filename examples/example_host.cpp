// A minimal host: scramble a message, unscramble it, and release both
// results the way every host must, through FreeResult.
#include "KestraneEncrypt.h"

#include <cstdio>
#include <cstring>

int main()
{
    const char message[] = "tile 17/65536/43690: elevation grid";
    const int length = static_cast<int>(std::strlen(message));

    char* record = nullptr;
    int recordLength = 0;
    if (!CKestraneEncrypt::MemEncrypt(message, length, record, recordLength)) {
        std::fprintf(stderr, "example_host: MemEncrypt failed\n");
        CKestraneEncrypt::FreeResult(record);
        return 1;
    }
    std::printf("scrambled %d bytes into a %d-byte record with key index %d\n", length,
                recordLength, static_cast<unsigned char>(record[0]));

    char* plain = nullptr;
    int plainLength = 0;
    const bool ok = CKestraneEncrypt::MemDecrypt(record, recordLength, plain, plainLength);
    const bool same = ok && plainLength == length &&
                      std::memcmp(plain, message, static_cast<size_t>(length)) == 0;
    std::printf("unscrambled back: %s\n", same ? "identical" : "DIFFERENT");

    CKestraneEncrypt::FreeResult(plain);
    CKestraneEncrypt::FreeResult(record);
    return same ? 0 : 1;
}
