// A host built against the installed library: round-trips a buffer.
#include "KestraneEncrypt.h"

#include <cstdio>
#include <cstring>

int main()
{
    const char plain[] = "installed";
    char* record = NULL;
    int recordLength = 0;
    char* back = NULL;
    int backLength = 0;
    const bool ok = CKestraneEncrypt::MemEncrypt(plain, 9, record, recordLength) &&
                    CKestraneEncrypt::MemDecrypt(record, recordLength, back, backLength) &&
                    backLength == 9 && std::memcmp(back, plain, 9) == 0;
    CKestraneEncrypt::FreeResult(back);
    CKestraneEncrypt::FreeResult(record);
    std::puts(ok ? "consumer: round trip ok" : "consumer: round trip FAILED");
    return ok ? 0 : 1;
}
