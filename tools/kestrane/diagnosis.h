// Why an operation failed. The library answers only true or false, so the
// tool looks at the files itself, in the order in which the library meets
// them: the source first (it is read whole before the destination is
// touched), then the destination.
#ifndef KESTRANE_TOOLS_DIAGNOSIS_H
#define KESTRANE_TOOLS_DIAGNOSIS_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrane_tool {

enum class Operation { kEncrypt, kDecrypt };

// The largest input each operation takes: a record must fit in an int.
std::size_t LargestInput(Operation operation);

// Why bytes cannot be the input of the operation ("empty source", "first
// byte 200 is not a key index (0-29)", "too large (...)"), or "" when
// they can. first is the first byte (ignored when size is 0).
std::string InputProblem(Operation operation, std::size_t size, unsigned char first);

// What the tool can tell of a source file.
struct SourceFacts {
    enum Verdict { kUsable, kUnreadable, kNotInput } verdict = kUsable;
    std::string why;          // for kUnreadable and kNotInput
    std::uintmax_t size = 0;  // when readable
    int first = -1;           // the first byte, -1 for an empty file
};

// Whether the file at path can be read as the operation's input, and if not,
// why not.
SourceFacts InspectSource(Operation operation, const std::string& path);

// Why the destination cannot be written, best guess; never "".
std::string DestinationProblem(const std::string& path);

// The cause behind an errno value, in the tool's words.
std::string Cause(int error);

}  // namespace kestrane_tool

#endif
