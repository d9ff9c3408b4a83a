#include "streams.h"

#include "diagnosis.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <random>
#include <system_error>

namespace kestrane_tool {

namespace fs = std::filesystem;

bool ReadAll(std::FILE* stream, std::size_t limit, std::vector<char>& bytes)
{
    bytes.clear();
    char chunk[1 << 16];
    while (bytes.size() <= limit) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, stream);
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (got < sizeof chunk) {
            break;
        }
    }
    return std::ferror(stream) == 0;
}

bool WriteAll(std::FILE* stream, const char* data, std::size_t size)
{
    return std::fwrite(data, 1, size, stream) == size && std::fflush(stream) == 0;
}

namespace {

bool WriteNewFile(const fs::path& path, const char* data, std::size_t size, std::string& why)
{
    std::FILE* const file = std::fopen(path.string().c_str(), "wb");
    if (file == nullptr) {
        why = Cause(errno);
        return false;
    }
    const bool written = std::fwrite(data, 1, size, file) == size;
    const int writeError = errno;
    if (std::fclose(file) != 0 || !written) {
        why = Cause(written ? errno : writeError);
        return false;
    }
    return true;
}

}  // namespace

bool WriteFileReplacing(const std::string& path, const char* data, std::size_t size,
                        std::string& why)
{
    std::error_code error;
    fs::path target(path);
    if (fs::is_symlink(fs::symlink_status(target, error))) {
        const fs::path resolved = fs::canonical(target, error);
        if (error) {  // dangling: nothing to lose
            return WriteNewFile(target, data, size, why);
        }
        target = resolved;
    }
    const fs::file_status status = fs::status(target, error);
    const bool exists = fs::exists(status);
    if (exists && !fs::is_regular_file(status)) {
        return WriteNewFile(target, data, size, why);  // a pipe, a device
    }

    std::mt19937_64 random(
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::path temp = target;
    temp += ".kestrane-" + std::to_string(random() % 1000000000000ULL);
    if (!WriteNewFile(temp, data, size, why)) {
        fs::remove(temp, error);
        return false;
    }
    if (exists) {
        fs::permissions(temp, status.permissions(), error);
    }
    fs::rename(temp, target, error);
    if (error) {
        why = Cause(error.value());
        fs::remove(temp, error);
        return false;
    }
    return true;
}

}  // namespace kestrane_tool
