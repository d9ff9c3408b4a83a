// The file operations on a 64 MiB file beside a plain copy of the same file
// (read it whole, write it whole to a new file) -- into malloc'd memory, and
// into the huge-page memory the library itself uses -- and the peak memory
// of one call measured in a fresh process.
//
//   file_bench                       run everything
//   file_bench --peak OP SRC DST     (internal) one call, then print peak RSS
#include "KestraneEncrypt.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr std::size_t kFileSize = std::size_t{64} << 20;

// Scratch files in the build tree's working directory (a real disk, as for
// a host), made once.
struct Files {
    std::string plain = "file_bench.plain";
    std::string record = "file_bench.record";
    std::string output = "file_bench.output";

    Files()
    {
        std::vector<char> bytes(kFileSize);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<char>(i * 131U);
        }
        std::ofstream(plain, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        bytes[0] = 5;  // a valid key index
        std::ofstream(record, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    ~Files()
    {
        std::remove(plain.c_str());
        std::remove(record.c_str());
        std::remove(output.c_str());
    }
};

const Files& TheFiles()
{
    static const Files files;
    return files;
}

// Read the file whole into buffer memory from allocate, write it whole to a
// new file.
template <void* (*Allocate)(std::size_t)>
bool Copy(const char* from, const char* to)
{
    std::FILE* in = std::fopen(from, "rb");
    if (in == nullptr) {
        return false;
    }
    std::fseek(in, 0, SEEK_END);
    const auto size = static_cast<std::size_t>(std::ftell(in));
    std::fseek(in, 0, SEEK_SET);
    char* buffer = static_cast<char*>(Allocate(size));
    const bool read = buffer != nullptr && std::fread(buffer, 1, size, in) == size;
    std::fclose(in);
    std::FILE* out = std::fopen(to, "wb");
    const bool written = read && out != nullptr && std::fwrite(buffer, 1, size, out) == size;
    const bool closed = out != nullptr && std::fclose(out) == 0;
    std::free(buffer);
    return written && closed;
}

void* Malloc(std::size_t size)
{
    return std::malloc(size);
}

// The allocation the library makes for large files, for a copy that pays
// no page-by-page faulting either: what is left is the library's own work.
void* HugePages(std::size_t size)
{
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    void* memory = nullptr;
    if (posix_memalign(&memory, kHugePage, size) != 0) {
        return nullptr;
    }
    madvise(memory, size - size % kHugePage, MADV_HUGEPAGE);
    return memory;
}

bool PlainCopy(const char* from, const char* to)
{
    return Copy<&Malloc>(from, to);
}
bool PlainCopyHugePages(const char* from, const char* to)
{
    return Copy<&HugePages>(from, to);
}

using FileOperation = bool (*)(const char*, const char*);

void RunFile(benchmark::State& state, FileOperation operation, const std::string& from)
{
    const std::string& to = TheFiles().output;
    for (auto _ : state) {
        if (!operation(from.c_str(), to.c_str())) {
            state.SkipWithError("call failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(kFileSize));
}

void BM_PlainCopy(benchmark::State& state)
{
    RunFile(state, &PlainCopy, TheFiles().plain);
}
void BM_PlainCopyHugePages(benchmark::State& state)
{
    RunFile(state, &PlainCopyHugePages, TheFiles().plain);
}
void BM_FileEncrypt(benchmark::State& state)
{
    RunFile(state, &CKestraneEncrypt::FileEncrypt, TheFiles().plain);
}
void BM_FileDecrypt(benchmark::State& state)
{
    RunFile(state, &CKestraneEncrypt::FileDecrypt, TheFiles().record);
}

// Peak resident memory of a process, in KiB. VmHWM rather than ru_maxrss:
// it belongs to the address space, so it starts afresh at exec and is not
// inherited from the (large) benchmark process that started this one.
long PeakKiB()
{
    std::FILE* status = std::fopen("/proc/self/status", "r");
    long kib = -1;
    char line[256];
    while (status != nullptr && std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, "VmHWM:", 6) == 0) {
            kib = std::strtol(line + 6, nullptr, 10);
        }
    }
    if (status != nullptr) {
        std::fclose(status);
    }
    return kib;
}

int PeakChild(const char* op, const char* from, const char* to)
{
    const FileOperation operation = std::strcmp(op, "encrypt") == 0 ? &CKestraneEncrypt::FileEncrypt
                                    : std::strcmp(op, "decrypt") == 0
                                        ? &CKestraneEncrypt::FileDecrypt
                                        : &PlainCopy;
    const long before = PeakKiB();
    const bool ok = operation(from, to);
    std::printf("%ld %ld\n", before, PeakKiB());
    return ok ? 0 : 1;
}

// One call in a fresh process: its peak memory over the file's size.
void RunPeak(benchmark::State& state, const char* op, const std::string& from)
{
    const Files& files = TheFiles();
    long before = 0;
    long peak = 0;
    for (auto _ : state) {
        int pipeFds[2];
        if (pipe(pipeFds) != 0) {
            state.SkipWithError("pipe");
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        const std::string self = "/proc/self/exe";
        char* argv[] = {const_cast<char*>(self.c_str()),
                        const_cast<char*>("--peak"),
                        const_cast<char*>(op),
                        const_cast<char*>(from.c_str()),
                        const_cast<char*>(files.output.c_str()),
                        nullptr};
        pid_t child = 0;
        const int spawned = posix_spawn(&child, "/proc/self/exe", &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[1]);
        char text[64] = {};
        const ssize_t got = read(pipeFds[0], text, sizeof text - 1);
        close(pipeFds[0]);
        int status = 0;
        if (spawned != 0 || waitpid(child, &status, 0) != child || status != 0 || got <= 0 ||
            std::sscanf(text, "%ld %ld", &before, &peak) != 2) {
            state.SkipWithError("child failed");
            return;
        }
    }
    const double fileKiB = static_cast<double>(kFileSize) / 1024.0;
    state.counters["peak_MiB"] = static_cast<double>(peak) / 1024.0;
    state.counters["before_call_MiB"] = static_cast<double>(before) / 1024.0;
    state.counters["peak_per_file_size"] = static_cast<double>(peak) / fileKiB;
}

void BM_PeakMemory_PlainCopy(benchmark::State& state)
{
    RunPeak(state, "copy", TheFiles().plain);
}
void BM_PeakMemory_FileEncrypt(benchmark::State& state)
{
    RunPeak(state, "encrypt", TheFiles().plain);
}
void BM_PeakMemory_FileDecrypt(benchmark::State& state)
{
    RunPeak(state, "decrypt", TheFiles().record);
}

BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainCopyHugePages)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FileEncrypt)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FileDecrypt)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PeakMemory_PlainCopy)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PeakMemory_FileEncrypt)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PeakMemory_FileDecrypt)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--peak") == 0) {
        return PeakChild(argv[2], argv[3], argv[4]);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
