// MemEncrypt, MemDecrypt and FreeResult through the shared library.
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#if defined(__unix__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

using namespace kestrane_test;

const int kLengths[] = {1,  2,  3,   7,   8,   9,   15,  16,  17,   31,   32,   33,   63,
                        64, 65, 127, 128, 129, 255, 256, 257, 1000, 4096, 4097, 65537};

TEST(MemEncrypt, WritesKeyIndexThenBodyXoredWithThatKeyByte)
{
    const Bytes plain = Pattern(300);
    // The clock may tick between the readings here and the one inside the
    // call, so either reading counts.
    const int before = KeyIndexNow();
    const CallResult r = Encrypt(plain);
    const int after = KeyIndexNow();

    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.length, 301);
    const int k = r.bytes[0];
    EXPECT_TRUE(k == before || k == after) << "key index " << k << " not drawn from the clock";
    EXPECT_EQ(r.bytes, ExpectedRecord(plain, k));
}

TEST(MemEncrypt, SourceByteEqualToTheKeyByteBecomesZero)
{
    const int k = KeyIndexNow();
    const Bytes plain{kestrane::kKeyTable[k]};
    const CallResult r = Encrypt(plain);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.length, 2);
    if (r.bytes[0] == k) {  // unless the clock ticked in between
        EXPECT_EQ(r.bytes[1], 0);
    }
    EXPECT_EQ(r.bytes, ExpectedRecord(plain, r.bytes[0]));
}

TEST(MemCodec, RoundTripsEveryLengthAroundVectorWidthsAndEveryByteValue)
{
    for (const int n : kLengths) {
        const Bytes plain = Pattern(static_cast<std::size_t>(n), static_cast<unsigned>(n));
        const CallResult record = Encrypt(plain);
        ASSERT_TRUE(record.ok) << "n = " << n;
        ASSERT_EQ(record.length, n + 1);
        EXPECT_EQ(record.bytes, ExpectedRecord(plain, record.bytes[0])) << "n = " << n;

        const CallResult back = Decrypt(record.bytes);
        ASSERT_TRUE(back.ok) << "n = " << n;
        EXPECT_EQ(back.bytes, plain) << "n = " << n;
    }
}

// Large results come from a different allocation path (aligned for huge
// pages); they must round-trip and release through FreeResult the same way.
TEST(MemCodec, RoundTripsABufferLargeEnoughForHugePages)
{
    const Bytes plain = Pattern((std::size_t{9} << 20) + 5, 11);
    const CallResult record = Encrypt(plain);
    ASSERT_TRUE(record.ok);
    EXPECT_EQ(record.bytes, ExpectedRecord(plain, record.bytes[0]));
    const CallResult back = Decrypt(record.bytes);
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.bytes, plain);
}

TEST(MemDecrypt, AcceptsFirstBytes0To29AndRefuses30To255)
{
    const Bytes body = Pattern(40);
    for (int first = 0; first <= 255; ++first) {
        Bytes record{static_cast<unsigned char>(first)};
        record.insert(record.end(), body.begin(), body.end());
        const CallResult r = Decrypt(record);
        EXPECT_EQ(r.length, 40) << "first byte " << first;
        EXPECT_TRUE(r.allocated) << "first byte " << first;
        if (first < 30) {
            ASSERT_TRUE(r.ok) << "first byte " << first;
            Bytes expected(body);
            for (auto& b : expected) {
                b = static_cast<unsigned char>(b ^ kestrane::kKeyTable[first]);
            }
            EXPECT_EQ(r.bytes, expected) << "first byte " << first;
        } else {
            EXPECT_FALSE(r.ok) << "first byte " << first;
        }
    }
}

TEST(MemDecrypt, KeyIndex29UsesTheLastKeyByte)
{
    const CallResult r = Decrypt(Bytes{29, 's', 0});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.bytes, (Bytes{0, 's'}));
}

TEST(MemCodec, OneByteSourceAndOneByteRecord)
{
    const CallResult record = Encrypt(Bytes{'x'});
    ASSERT_TRUE(record.ok);
    ASSERT_EQ(record.length, 2);
    EXPECT_EQ(record.bytes[1], 'x' ^ kestrane::kKeyTable[record.bytes[0]]);

    // A one-byte record holds nothing, yet the result is a real buffer.
    const CallResult empty = Decrypt(Bytes{7});
    EXPECT_TRUE(empty.ok);
    EXPECT_EQ(empty.length, 0);
    EXPECT_TRUE(empty.allocated);
}

// Refusals leave result and resultLength exactly as they were.
TEST(MemCodec, RefusesBadArgumentsWithoutTouchingTheResult)
{
    const Bytes data = Pattern(16);
    struct Case {
        const char* name;
        const char* source;
        int length;
    };
    const Case cases[] = {
        {"null source", nullptr, 5},
        {"length 0", Chars(data), 0},
        {"length -1", Chars(data), -1},
        {"length INT_MIN", Chars(data), INT_MIN},
    };
    char sentinel[4] = {'a', 'b', 'c', 'd'};
    for (const Case& c : cases) {
        for (const auto operation :
             {&CKestraneEncrypt::MemEncrypt, &CKestraneEncrypt::MemDecrypt}) {
            char* nullResult = nullptr;
            int length = 777;
            EXPECT_FALSE(operation(c.source, c.length, nullResult, length)) << c.name;
            EXPECT_EQ(nullResult, nullptr) << c.name;
            EXPECT_EQ(length, 777) << c.name;

            char* callerResult = sentinel;
            EXPECT_FALSE(operation(c.source, c.length, callerResult, length)) << c.name;
            EXPECT_EQ(callerResult, sentinel) << c.name;
            EXPECT_EQ(length, 777) << c.name;
            EXPECT_EQ(0, std::memcmp(sentinel, "abcd", 4)) << c.name;
        }
    }
}

// The largest int cannot be encrypted: its record length would not fit. The
// call must refuse before reading a single source byte, so the source here
// is a page that faults on any access where the platform allows it.
TEST(MemEncrypt, RefusesIntMaxWithoutReadingTheSource)
{
#if defined(__unix__)
    const long page = sysconf(_SC_PAGESIZE);
    void* guard = mmap(nullptr, static_cast<std::size_t>(page), PROT_NONE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(guard, MAP_FAILED);
    const char* source = static_cast<const char*>(guard);
#else
    const char one = 'x';
    const char* source = &one;
#endif
    char* result = nullptr;
    int length = 777;
    EXPECT_FALSE(CKestraneEncrypt::MemEncrypt(source, INT_MAX, result, length));
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(length, 777);
#if defined(__unix__)
    munmap(guard, static_cast<std::size_t>(page));
#endif
}

// A caller buffer comes back as the same pointer, holding exactly the output
// and nothing past it.
TEST(MemCodec, CallerSuppliedBufferIsFilledInPlaceAndNotOverrun)
{
    for (const int n : kLengths) {
        const Bytes plain = Pattern(static_cast<std::size_t>(n));
        const std::size_t records = static_cast<std::size_t>(n) + 1;

        Bytes record(records + 64, 0xCC);
        char* result = Chars(record);
        int length = 0;
        ASSERT_TRUE(CKestraneEncrypt::MemEncrypt(Chars(plain), n, result, length));
        ASSERT_EQ(result, Chars(record));
        ASSERT_EQ(length, n + 1);
        const Bytes written(record.begin(), record.begin() + static_cast<long>(records));
        EXPECT_EQ(written, ExpectedRecord(plain, record[0])) << "n = " << n;
        EXPECT_EQ(record[records], 0xCC) << "encrypt overran at n = " << n;

        Bytes back(static_cast<std::size_t>(n) + 64, 0xCC);
        result = Chars(back);
        ASSERT_TRUE(CKestraneEncrypt::MemDecrypt(Chars(record), n + 1, result, length));
        ASSERT_EQ(result, Chars(back));
        ASSERT_EQ(length, n);
        EXPECT_EQ(Bytes(back.begin(), back.begin() + n), plain) << "n = " << n;
        EXPECT_EQ(back[static_cast<std::size_t>(n)], 0xCC) << "decrypt overran at n = " << n;
    }
}

TEST(MemDecrypt, RefusedKeyIndexLeavesACallerBufferUnwritten)
{
    Bytes out(8, 0xCC);
    char* result = Chars(out);
    int length = 0;
    EXPECT_FALSE(CKestraneEncrypt::MemDecrypt(Chars(Bytes{30, 1, 2, 3}), 4, result, length));
    EXPECT_EQ(result, Chars(out));
    EXPECT_EQ(length, 3);
    EXPECT_EQ(out, Bytes(8, 0xCC));
}

// One buffer, shifted by one byte, serves as both source and result: each
// output byte is written over the input byte it came from.
TEST(MemCodec, TransformsOneBufferInPlace)
{
    for (const int n : kLengths) {
        const Bytes plain = Pattern(static_cast<std::size_t>(n), 3);
        Bytes buffer(static_cast<std::size_t>(n) + 1);
        std::memcpy(buffer.data() + 1, plain.data(), plain.size());

        char* result = Chars(buffer);
        int length = 0;
        ASSERT_TRUE(CKestraneEncrypt::MemEncrypt(Chars(buffer) + 1, n, result, length));
        EXPECT_EQ(buffer, ExpectedRecord(plain, buffer[0])) << "n = " << n;

        result = Chars(buffer) + 1;
        ASSERT_TRUE(CKestraneEncrypt::MemDecrypt(Chars(buffer), n + 1, result, length));
        ASSERT_EQ(length, n);
        EXPECT_EQ(Bytes(buffer.begin() + 1, buffer.end()), plain) << "n = " << n;
    }
}

TEST(FreeResult, NullsThePointerAndIgnoresNull)
{
    char* result = nullptr;
    int length = 0;
    ASSERT_TRUE(CKestraneEncrypt::MemEncrypt("abc", 3, result, length));
    ASSERT_NE(result, nullptr);
    CKestraneEncrypt::FreeResult(result);
    EXPECT_EQ(result, nullptr);
    CKestraneEncrypt::FreeResult(result);  // second release of the same pointer
    EXPECT_EQ(result, nullptr);
}

TEST(CopyAssignment, ReturnsTheAssignedInstance)
{
    CKestraneEncrypt a;
    const CKestraneEncrypt b;
    EXPECT_EQ(&(a = b), &a);
}

}  // namespace
