// Fault injection by interposition: this test executable defines the C
// library's allocation and I/O functions itself, so every call the shared
// library makes to them comes here first. Each forwards to the C library,
// except the one call chosen to fail.
#ifndef KESTRANE_TESTS_FAULT_INJECTOR_H
#define KESTRANE_TESTS_FAULT_INJECTOR_H

namespace kestrane_test {

enum class FaultKind { kAllocation, kIo };

// What happened while armed.
struct FaultReport {
    long calls = 0;            // calls of the armed kind
    bool injected = false;     // whether the chosen call was reached and failed
    long liveAllocations = 0;  // allocations made minus allocations released
};

// Between Arm and Disarm, the failAt-th call (1-based) of the given kind
// fails; failAt 0 fails none and only counts. Allocations are counted in
// either mode. Single-threaded use only.
void Arm(FaultKind kind, long failAt);
FaultReport Disarm();

// While armed, ftello on any stream also resizes the file at path to
// newSize first: a source that changes between being measured and read.
void ResizeOnMeasure(const char* path, long newSize);

}  // namespace kestrane_test

#endif
