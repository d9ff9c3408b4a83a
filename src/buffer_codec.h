// Helpers shared by the buffer and file operations.
#ifndef KESTRANE_SRC_BUFFER_CODEC_H
#define KESTRANE_SRC_BUFFER_CODEC_H

#include <cstddef>

namespace kestrane {

// malloc that never answers NULL for a zero-byte request, so a one-byte
// record still unscrambles into a valid buffer on every C library. Release
// with std::free (FreeResult does).
void* AllocateBytes(std::size_t size);

}  // namespace kestrane

#endif
