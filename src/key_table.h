// The key table and the key-index draw.
//
// Both are fixed by records already on disk: changing a byte of the table, the
// generator constants or the scaling makes existing files unreadable, or new
// files unreadable by existing hosts.
#ifndef KESTRANE_SRC_KEY_TABLE_H
#define KESTRANE_SRC_KEY_TABLE_H

#include <cstdint>

namespace kestrane {

// Its own constant rather than sizeof the string: the number of generator
// draws and the range of the key index both derive from it.
constexpr int kKeyLength = 30;

constexpr unsigned char kKeyTable[kKeyLength] = {
    'q', 'u', 'i', 'l', 'l', 'm', 'a', 'r', 's', 'h', 'w', 'a', 'v', 'e', 'f',
    'o', 'r', 'm', 'd', 'r', 'i', 'z', 'z', 'l', 'e', 'j', 'o', 'k', 'e', 's',
};

// The linear congruential generator behind the key index.
struct KeyIndexGenerator {
    std::uint32_t state;

    constexpr explicit KeyIndexGenerator(std::uint32_t seed) : state(seed) {}

    // Next value, 0..32767.
    constexpr int Next()
    {
        state = state * 214013U + 2531011U;
        return static_cast<int>((state >> 16) & 0x7FFFU);
    }
};

// Scale a generator value 0..32767 to a key index 0..kKeyLength-1. Records
// have always been written with trunc(r * (1.0 / 32767) * 29) in double
// precision; this integer quotient gives the same index for every r (a test
// checks all of them) and keeps floating point out of the call.
constexpr int ScaleToKeyIndex(int r)
{
    return (r * (kKeyLength - 1)) / 0x7FFF;
}

// The key index for a clock reading: seed with the seconds, draw kKeyLength
// values and scale the last one.
constexpr int KeyIndexFromSeconds(std::uint32_t seconds)
{
    KeyIndexGenerator generator(seconds);
    int r = 0;
    for (int i = 0; i < kKeyLength; ++i) {
        r = generator.Next();
    }
    return ScaleToKeyIndex(r);
}

// The key index for the current calendar time, whole seconds since
// 1970-01-01 UTC taken modulo 2^32.
int CurrentKeyIndex();

}  // namespace kestrane

#endif
