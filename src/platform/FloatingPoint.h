#pragma once
// Flush-to-zero and denormals-are-zero for the duration of a process call:
// the recursive filters would otherwise crawl through denormal numbers as a
// signal dies away. The caller's mode is restored on exit.

#if defined(__SSE__) || defined(__x86_64__) || defined(_M_X64)
#include <xmmintrin.h>
#define BRIMTONE_HAS_MXCSR 1
#endif

namespace brimtone::platform {

class DenormalGuard {
public:
#ifdef BRIMTONE_HAS_MXCSR
    static constexpr unsigned kFlushToZero = 0x8000;
    static constexpr unsigned kDenormalsAreZero = 0x0040;

    DenormalGuard() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero); }
    ~DenormalGuard() { _mm_setcsr(saved_); }

private:
    unsigned saved_;
#else
    DenormalGuard() = default;
#endif

public:
    DenormalGuard(const DenormalGuard&) = delete;
    DenormalGuard& operator=(const DenormalGuard&) = delete;
};

} // namespace brimtone::platform
