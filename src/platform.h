// The file-system operations that differ between platforms, behind one
// interface so that the rest of the library has no conditional code.
#ifndef KESTRANE_SRC_PLATFORM_H
#define KESTRANE_SRC_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace kestrane {
namespace platform {

// malloc-family memory for a result or work buffer of size bytes, released
// with std::free; never NULL for a zero-byte request (unless out of memory).
// Large buffers are aligned to, and advised for, huge pages where the
// system has them: on virtual machines first touching fresh memory page by
// page costs more than the whole XOR pass.
void* AllocateBuffer(std::size_t size);

// The size of the file behind an open stream, measured by seeking to its end
// with a 64-bit offset; leaves the stream at its start. False when the
// stream cannot seek or tell.
bool MeasureStream(std::FILE* stream, std::uint64_t& size);

// Make the file at path hold exactly size bytes of data, as fopen(path,
// "wb") followed by one write would, but without ever leaving it partly
// written: a regular file (or a new one) is written beside the destination
// and renamed over it only once complete. False when any byte could not be
// written; the destination is then as it was, except where it is not a
// regular file (written directly, as a pipe or device must be) or no file
// can be created beside it (then it is written directly too).
bool WriteFileReplacing(const char* path, const char* data, std::size_t size);

}  // namespace platform
}  // namespace kestrane

#endif
