// Many threads calling every operation at once, across at least one tick of
// the clock (so the key index changes under them): no call may see another's
// state. Meant to run under ThreadSanitizer as well as plainly.
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace {

using namespace kestrane_test;

// One thread's work: buffer round trips into library and caller buffers, and
// file round trips on files of its own. False at the first wrong answer.
bool RoundTrips(const TempDir& dir, int thread, const std::atomic<bool>& stop, int& done)
{
    const std::string plainPath = dir / ("plain" + std::to_string(thread));
    const std::string recordPath = dir / ("record" + std::to_string(thread));
    const std::string backPath = dir / ("back" + std::to_string(thread));
    for (done = 0; !stop.load() || done < 20; ++done) {
        const Bytes plain = Pattern(static_cast<std::size_t>(1 + (done * 37 + thread * 101) % 5000),
                                    static_cast<unsigned>(thread + done));
        const CallResult record = Encrypt(plain);
        if (!record.ok || record.bytes != ExpectedRecord(plain, record.bytes[0])) {
            return false;
        }
        Bytes into(plain.size());
        char* result = Chars(into);
        int length = 0;
        if (!CKestraneEncrypt::MemDecrypt(Chars(record.bytes), record.length, result, length) ||
            into != plain) {
            return false;
        }

        WriteFile(plainPath, plain);
        if (!CKestraneEncrypt::FileEncrypt(plainPath.c_str(), recordPath.c_str()) ||
            !CKestraneEncrypt::FileDecrypt(recordPath.c_str(), backPath.c_str()) ||
            ReadFile(backPath) != plain) {
            return false;
        }
    }
    return true;
}

TEST(Concurrency, EveryOperationFromManyThreadsAcrossAClockTick)
{
    constexpr int kThreads = 8;
    const TempDir dir;
    std::atomic<bool> stop{false};
    bool ok[kThreads] = {};
    int done[kThreads] = {};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] { ok[t] = RoundTrips(dir, t, stop, done[t]); });
    }
    // Run until the calendar second has changed, so that some calls draw
    // the old key index and some the new one.
    const std::time_t start = std::time(nullptr);
    while (std::time(nullptr) == start) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stop = true;
    for (auto& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_TRUE(ok[t]) << "thread " << t << " after " << done[t] << " round trips";
    }
}

}  // namespace
