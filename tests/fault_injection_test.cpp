// Every allocation and every I/O call that an operation makes fails in turn,
// one per run (the first, then the second, ... until the operation needs no
// more). Each time the operation must answer, leak nothing, and leave the
// source and destination either exactly as they were (false) or exactly
// right (true: the C library can absorb some failures itself, and a failed
// chown of a replacement is ignored by design).
#include "support/fault_injector.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <string>

namespace {

using namespace kestrane_test;

int OpenDescriptors()
{
    int count = 0;
    if (DIR* const fds = opendir("/proc/self/fd")) {
        while (readdir(fds) != nullptr) {
            ++count;
        }
        closedir(fds);
    }
    return count;
}

// One buffer call under each allocation failure.
TEST(FaultInjection, BufferOperationsUnderEveryAllocationFailure)
{
    struct Case {
        const char* name;
        bool encrypt;
        Bytes source;
    };
    Bytes record = Pattern(1001);
    record[0] = 9;
    const Case cases[] = {
        {"MemEncrypt", true, Pattern(1000)},
        {"MemDecrypt", false, record},
        {"MemDecrypt of a one-byte record", false, Bytes{3}},
        {"MemEncrypt, huge-page path", true, Pattern(std::size_t{9} << 20)},
    };
    for (const Case& c : cases) {
        for (long failAt = 1;; ++failAt) {
            char* result = nullptr;
            int length = -1;
            Arm(FaultKind::kAllocation, failAt);
            const bool ok =
                c.encrypt ? CKestraneEncrypt::MemEncrypt(
                                Chars(c.source), static_cast<int>(c.source.size()), result, length)
                          : CKestraneEncrypt::MemDecrypt(
                                Chars(c.source), static_cast<int>(c.source.size()), result, length);
            const bool allocated = result != nullptr;
            CKestraneEncrypt::FreeResult(result);
            const FaultReport report = Disarm();

            EXPECT_EQ(report.liveAllocations, 0) << c.name << ", failing allocation " << failAt;
            if (!report.injected) {
                EXPECT_TRUE(ok) << c.name;
                break;
            }
            EXPECT_FALSE(ok) << c.name << ", failing allocation " << failAt;
            EXPECT_FALSE(allocated) << c.name;
            EXPECT_EQ(static_cast<std::size_t>(length),
                      c.encrypt ? c.source.size() + 1 : c.source.size() - 1)
                << c.name;
        }
    }
}

struct FileCase {
    const char* name;
    bool encrypt;
    enum { kNew, kExisting, kInPlace, kSymlink } destination;
    std::size_t size;
};

const FileCase kFileCases[] = {
    {"encrypt to a new file", true, FileCase::kNew, 5000},
    {"encrypt over a file", true, FileCase::kExisting, 5000},
    {"encrypt in place", true, FileCase::kInPlace, 5000},
    {"encrypt through a symbolic link", true, FileCase::kSymlink, 5000},
    {"decrypt over a file", false, FileCase::kExisting, 5000},
    {"decrypt in place", false, FileCase::kInPlace, 5000},
    {"encrypt a large file", true, FileCase::kExisting, std::size_t{9} << 20},
};

// A fresh scratch directory for one run of a file case; checks what the
// run left behind.
class FileRun {
public:
    explicit FileRun(const FileCase& c) : case_(c)
    {
        input_ = Pattern(c.size, 5);
        if (!c.encrypt) {
            input_[0] = 17;
        }
        WriteFile(source_, input_);
        destination_ = c.destination == FileCase::kInPlace ? source_ : dir_ / "destination";
        target_ = destination_;
        if (c.destination == FileCase::kExisting) {
            WriteFile(destination_, old_);
        } else if (c.destination == FileCase::kSymlink) {
            target_ = dir_ / "target";
            WriteFile(target_, old_);
            symlink("target", destination_.c_str());
        }
        entries_ = dir_.Entries();
    }

    bool Call() const
    {
        return FileOperationFor(case_.encrypt)(source_.c_str(), destination_.c_str());
    }

    // Everything exactly as before (after false) or exactly right (true).
    // sourceResized: the run changed the source on purpose, so only the
    // destination is compared.
    void Check(bool ok, const std::string& what, bool sourceResized = false) const
    {
        std::vector<std::string> expectedEntries = entries_;
        if (ok && case_.destination == FileCase::kNew) {
            expectedEntries.push_back("destination");
            std::sort(expectedEntries.begin(), expectedEntries.end());
        }
        EXPECT_EQ(dir_.Entries(), expectedEntries) << what << ": stray or missing file";
        const Bytes now = Exists(target_) ? ReadFile(target_) : Bytes{};
        if (ok) {
            if (case_.encrypt) {
                ASSERT_EQ(now.size(), input_.size() + 1) << what;
                EXPECT_EQ(now, ExpectedRecord(input_, now[0])) << what;
            } else {
                // The input is a record with key index 17 (see the constructor).
                EXPECT_EQ(ExpectedRecord(now, 17), input_) << what;
            }
        } else if (case_.destination == FileCase::kInPlace) {
            if (!sourceResized) {
                EXPECT_EQ(now, input_) << what << ": the file changed";
            }
        } else {
            EXPECT_EQ(Exists(target_), case_.destination != FileCase::kNew) << what;
            if (case_.destination != FileCase::kNew) {
                EXPECT_EQ(now, old_) << what << ": the destination changed";
            }
        }
        if (case_.destination != FileCase::kInPlace && !sourceResized) {
            EXPECT_EQ(ReadFile(source_), input_) << what << ": the source changed";
        }
    }

    const std::string& source() const { return source_; }
    std::size_t size() const { return input_.size(); }

private:
    FileCase case_;
    TempDir dir_;
    std::string source_ = dir_ / "source";
    std::string destination_;
    std::string target_;
    Bytes input_;
    Bytes old_{'o', 'l', 'd'};
    std::vector<std::string> entries_;
};

TEST(FaultInjection, FileOperationsUnderEveryAllocationAndIoFailure)
{
    long total[2] = {0, 0};
    for (const FaultKind kind : {FaultKind::kAllocation, FaultKind::kIo}) {
        const char* const kindName = kind == FaultKind::kAllocation ? "allocation" : "I/O call";
        for (const FileCase& c : kFileCases) {
            long injected = 0;
            for (long failAt = 1;; ++failAt) {
                const FileRun run(c);
                const int descriptors = OpenDescriptors();
                Arm(kind, failAt);
                const bool ok = run.Call();
                const FaultReport report = Disarm();

                const std::string what =
                    std::string(c.name) + ", failing " + kindName + " " + std::to_string(failAt);
                EXPECT_EQ(report.liveAllocations, 0) << what << ": leaked";
                EXPECT_EQ(OpenDescriptors(), descriptors) << what << ": leaked a descriptor";
                run.Check(ok, what);
                if (!report.injected) {
                    EXPECT_TRUE(ok) << c.name << ": failed with no fault";
                    break;
                }
                ++injected;
            }
            EXPECT_GT(injected, 0) << c.name << ": no " << kindName << " to fail";
            total[kind == FaultKind::kAllocation ? 0 : 1] += injected;
        }
    }
    std::printf("injected %ld allocation failures and %ld I/O failures into %zu file cases\n",
                total[0], total[1], std::size(kFileCases));
}

// A source that shrinks or grows between being measured and being read is
// refused: bytes never read are never written out, and a record is never cut
// short.
TEST(FaultInjection, SourceChangingSizeWhileReadIsRefused)
{
    for (const FileCase& c : kFileCases) {
        for (const long delta : {-1000L, +1000L}) {
            const FileRun run(c);
            Arm(FaultKind::kIo, 0);
            ResizeOnMeasure(run.source().c_str(), static_cast<long>(run.size()) + delta);
            const bool ok = run.Call();
            Disarm();
            EXPECT_FALSE(ok) << c.name << ", size change " << delta;
            run.Check(ok, std::string(c.name) + ", size change " + std::to_string(delta), true);
        }
    }
}

// A source that cannot become a record (or a record whose plain bytes would
// not fit in an int) is refused from its measured size alone: no buffer is
// allocated and not a byte is read. (Sparse files: no disk space is used.)
TEST(FaultInjection, OversizedSourcesAreRefusedBeforeAllocatingOrReading)
{
    struct Case {
        const char* name;
        bool encrypt;
        std::uintmax_t size;
    };
    const Case cases[] = {
        {"encrypt 2^31 - 1 bytes", true, 2147483647U},
        {"decrypt 2^31 bytes", false, 2147483648U},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string source = dir / "source";
        const std::string destination = dir / "destination";
        WriteFile(source, Bytes{});
        std::filesystem::resize_file(source, c.size);

        const FileOperation operation = FileOperationFor(c.encrypt);

        Arm(FaultKind::kAllocation, 0);  // count only
        const bool ok = operation(source.c_str(), destination.c_str());
        const FaultReport allocations = Disarm();
        Arm(FaultKind::kIo, 0);
        static_cast<void>(operation(source.c_str(), destination.c_str()));
        const FaultReport io = Disarm();

        EXPECT_FALSE(ok) << c.name;
        EXPECT_LE(allocations.calls, 1) << c.name << ": more than the stream was allocated";
        EXPECT_EQ(allocations.liveAllocations, 0) << c.name;
        // fopen, fseeko to the end, ftello, fseeko back, fclose -- and no fread.
        EXPECT_LE(io.calls, 5) << c.name << ": the source was read";
        EXPECT_FALSE(Exists(destination)) << c.name;
    }
}

}  // namespace
