#include "key_table.h"

#include <ctime>

namespace kestrane {

static_assert(KeyIndexFromSeconds(0) == 28, "clock 0 must give key index 28");
static_assert(KeyIndexFromSeconds(1) == 17, "clock 1 must give key index 17");
static_assert(KeyIndexFromSeconds(2) == 6, "clock 2 must give key index 6");

int CurrentKeyIndex()
{
    // time_t is seconds since the epoch on every platform we build for; the
    // seed keeps its low 32 bits, whatever the width and sign of time_t.
    const std::time_t now = std::time(nullptr);
    return KeyIndexFromSeconds(static_cast<std::uint32_t>(static_cast<std::uint64_t>(now)));
}

}  // namespace kestrane
