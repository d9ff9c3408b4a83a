// The key table and the key-index draw, tested alone: records on disk depend
// on every constant here.
#include "key_table.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace {

using kestrane::KeyIndexFromSeconds;
using kestrane::KeyIndexGenerator;
using kestrane::kKeyLength;
using kestrane::kKeyTable;

TEST(KeyTable, IsTheThirtyLettersWithoutTerminator)
{
    ASSERT_EQ(kKeyLength, 30);
    ASSERT_EQ(sizeof kKeyTable, 30U);
    EXPECT_EQ(0, std::memcmp(kKeyTable, "quillmarshwaveformdrizzlejokes", 30));
}

TEST(KeyIndexGenerator, ProducesTheKnownSequence)
{
    KeyIndexGenerator one(1);
    EXPECT_EQ(one.Next(), 41);
    EXPECT_EQ(one.Next(), 18467);
    EXPECT_EQ(one.Next(), 6334);

    struct Case {
        std::uint32_t seed;
        int thirtieth;
    };
    for (const Case c : {Case{0, 32278}, Case{1, 19895}, Case{2, 7512}}) {
        KeyIndexGenerator generator(c.seed);
        int r = 0;
        for (int i = 0; i < 30; ++i) {
            r = generator.Next();
        }
        EXPECT_EQ(r, c.thirtieth) << "seed " << c.seed;
    }
}

TEST(KeyIndexFromSeconds, FixedClockValues)
{
    struct Case {
        std::uint32_t seconds;
        int keyIndex;
    };
    for (const Case c : {Case{0, 28}, Case{1, 17}, Case{2, 6}}) {
        EXPECT_EQ(KeyIndexFromSeconds(c.seconds), c.keyIndex) << "clock " << c.seconds;
    }
}

TEST(KeyIndexFromSeconds, AlwaysInRangeAcrossTheSeedSpace)
{
    // Includes the seeds where the state arithmetic wraps.
    for (std::uint64_t s = 0; s <= 0xFFFFFFFFULL; s += 65521) {
        const int k = KeyIndexFromSeconds(static_cast<std::uint32_t>(s));
        ASSERT_GE(k, 0);
        ASSERT_LT(k, kKeyLength);
    }
    const int last = KeyIndexFromSeconds(0xFFFFFFFFU);
    EXPECT_GE(last, 0);
    EXPECT_LT(last, kKeyLength);
}

// Existing records were written with the double-precision scaling; the
// library's integer form must pick the same index for every generator value, and the
// spread must be the known one (index 29 only from 32767).
TEST(KeyIndexScaling, IntegerQuotientMatchesDoubleScalingForEveryValue)
{
    std::array<int, 30> counts{};
    for (int r = 0; r <= 32767; ++r) {
        const int fromDouble = static_cast<int>(r * (1.0 / 32767) * 29);
        const int k = kestrane::ScaleToKeyIndex(r);
        ASSERT_EQ(k, fromDouble) << "r = " << r;
        ++counts[static_cast<std::size_t>(k)];
    }
    for (int k = 0; k < 29; ++k) {
        EXPECT_TRUE(counts[static_cast<std::size_t>(k)] == 1129 ||
                    counts[static_cast<std::size_t>(k)] == 1130)
            << "k = " << k;
    }
    EXPECT_EQ(counts[29], 1);
}

}  // namespace
