// FileEncrypt and FileDecrypt: a whole file through the buffer operations.
#include "KestraneEncrypt.h"

#include "platform.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

enum class Direction { kEncrypt, kDecrypt };

// Read the whole of an open stream of the given size into buffer. Anything
// short of exactly size bytes followed by end-of-file -- an I/O error, a
// directory opened as a file, a file that shrank or grew since it was
// measured -- is a failure, so bytes never read are never passed on.
bool ReadExactly(std::FILE* stream, char* buffer, std::size_t size)
{
    return std::fread(buffer, 1, size, stream) == size && std::fgetc(stream) == EOF &&
           std::ferror(stream) == 0;
}

bool TransformFile(const char* sourcePath, const char* destinationPath, Direction direction)
{
    if (sourcePath == nullptr || destinationPath == nullptr) {
        return false;
    }
    std::FILE* const source = std::fopen(sourcePath, "rb");
    if (source == nullptr) {
        return false;
    }
    // One read straight into our buffer: stdio's own buffer would only be an
    // extra copy and an extra allocation.
    std::setvbuf(source, nullptr, _IONBF, 0);

    // Refuse, before allocating or reading anything, a source that cannot
    // become a record (or a record that cannot be a source): the result
    // length must fit in an int.
    const std::uint64_t limit = direction == Direction::kEncrypt ? INT_MAX - 1 : INT_MAX;
    std::uint64_t measured = 0;
    if (!kestrane::platform::MeasureStream(source, measured) || measured == 0 || measured > limit) {
        std::fclose(source);
        return false;
    }
    const auto size = static_cast<std::size_t>(measured);

    // One buffer holds input and output: the buffer operations write each
    // output byte over the input byte it came from. The file is read to a
    // cache-line boundary (the kernel copies into an unaligned buffer a
    // third slower); encrypting puts the record one byte before it,
    // decrypting puts the plain bytes one byte after the key index.
    constexpr std::size_t kAlignment = 64;
    char* const buffer = static_cast<char*>(kestrane::platform::AllocateBuffer(size + kAlignment));
    if (buffer == nullptr) {
        std::fclose(source);
        return false;
    }
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(buffer) + 1;
    char* const input = buffer + 1 + ((kAlignment - address % kAlignment) % kAlignment);
    const bool read = ReadExactly(source, input, size);
    std::fclose(source);  // read-only: nothing to lose if closing fails

    bool ok = false;
    if (read) {
        char* result = direction == Direction::kEncrypt ? input - 1 : input + 1;
        int resultLength = 0;
        const bool transformed =
            direction == Direction::kEncrypt
                ? CKestraneEncrypt::MemEncrypt(input, static_cast<int>(size), result, resultLength)
                : CKestraneEncrypt::MemDecrypt(input, static_cast<int>(size), result, resultLength);
        // Only now, with the whole source read and transformed, is the
        // destination touched.
        ok = transformed && kestrane::platform::WriteFileReplacing(
                                destinationPath, result, static_cast<std::size_t>(resultLength));
    }
    std::free(buffer);
    return ok;
}

}  // namespace

bool CKestraneEncrypt::FileEncrypt(const char* sourcePath, const char* destinationPath)
{
    return TransformFile(sourcePath, destinationPath, Direction::kEncrypt);
}

bool CKestraneEncrypt::FileDecrypt(const char* sourcePath, const char* destinationPath)
{
    return TransformFile(sourcePath, destinationPath, Direction::kDecrypt);
}
