// Hosts compiled long ago include the public header as C++98: this file is
// built as C++98 so that the header keeps compiling there.
#include "KestraneEncrypt.h"

#include <cstddef>

int KestraneHeaderCompilesAsCxx98()
{
    char* result = NULL;
    int length = 0;
    const bool ok = CKestraneEncrypt::MemEncrypt("a", 1, result, length);
    CKestraneEncrypt::FreeResult(result);
    return ok ? length : -1;
}
