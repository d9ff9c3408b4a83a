// Reading and writing whole inputs and outputs for the tool's '-' forms.
#ifndef KESTRANE_TOOLS_STREAMS_H
#define KESTRANE_TOOLS_STREAMS_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace kestrane_tool {

// Read a stream to its end, but no more than limit + 1 bytes (enough to
// tell that it is too large). False on a read error.
bool ReadAll(std::FILE* stream, std::size_t limit, std::vector<char>& bytes);

// Write all bytes and flush. False on any error.
bool WriteAll(std::FILE* stream, const char* data, std::size_t size);

// Make the file at path hold exactly the bytes, never half-written: a
// regular file is written beside itself and renamed into place, keeping its
// permissions; a link's target is replaced; anything else is written
// directly. On failure, why holds the cause.
bool WriteFileReplacing(const std::string& path, const char* data, std::size_t size,
                        std::string& why);

}  // namespace kestrane_tool

#endif
