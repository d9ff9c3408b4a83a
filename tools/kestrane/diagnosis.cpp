#include "diagnosis.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

namespace kestrane_tool {

namespace fs = std::filesystem;

std::size_t LargestInput(Operation operation)
{
    return operation == Operation::kEncrypt ? std::size_t{INT_MAX} - 1 : std::size_t{INT_MAX};
}

std::string Cause(int error)
{
    switch (error) {
        case ENOENT:
            return "no such file";
        case EACCES:
        case EPERM:
            return "permission denied";
        case EISDIR:
            return "is a directory";
        case ENOSPC:
            return "no space left on the device";
        default:
            return std::strerror(error);
    }
}

std::string InputProblem(Operation operation, std::size_t size, unsigned char first)
{
    if (size == 0) {
        return "empty source";
    }
    if (size > LargestInput(operation)) {
        return operation == Operation::kEncrypt ? "too large (more than 2,147,483,646 bytes)"
                                                : "too large (more than 2,147,483,647 bytes)";
    }
    if (operation == Operation::kDecrypt && first >= 30) {
        return "first byte " + std::to_string(first) + " is not a key index (0-29)";
    }
    return "";
}

SourceFacts InspectSource(Operation operation, const std::string& path)
{
    SourceFacts facts;
    const auto unreadable = [&facts](std::string why) {
        facts.verdict = SourceFacts::kUnreadable;
        facts.why = std::move(why);
        return facts;
    };
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error) {
        return unreadable(Cause(error.value()));
    }
    if (fs::is_directory(status)) {
        return unreadable("is a directory");
    }
    std::FILE* const file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return unreadable(Cause(errno));
    }
    facts.first = std::fgetc(file);
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (readError) {
        return unreadable("cannot be read");
    }
    if (facts.first != EOF) {
        facts.size = fs::is_regular_file(status) ? fs::file_size(path, error) : 1;
        if (error) {
            return unreadable(Cause(error.value()));
        }
    } else {
        facts.first = -1;
    }
    facts.why = InputProblem(operation, static_cast<std::size_t>(facts.size),
                             static_cast<unsigned char>(facts.first < 0 ? 0 : facts.first));
    if (!facts.why.empty()) {
        facts.verdict = SourceFacts::kNotInput;
    }
    return facts;
}

std::string DestinationProblem(const std::string& path)
{
    const std::string prefix = "destination cannot be written: ";
    std::error_code error;
    const fs::path destination(path);
    if (fs::exists(destination, error)) {
        if (fs::is_directory(destination, error)) {
            return prefix + "is a directory";
        }
        // Opening for update neither truncates nor creates.
        std::FILE* const file = std::fopen(path.c_str(), "r+b");
        if (file == nullptr) {
            return prefix + Cause(errno);
        }
        std::fclose(file);
        return prefix + "the write failed (is the device full?)";
    }
    const fs::path parent =
        destination.has_parent_path() ? destination.parent_path() : fs::path(".");
    if (!fs::is_directory(parent, error)) {
        return prefix + "no such directory";
    }
    return prefix + "cannot create a file in " + parent.string();
}

}  // namespace kestrane_tool
