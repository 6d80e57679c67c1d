#pragma once
// Four single-precision lanes through the compiler's vector extension: SSE on
// x86-64, and the same source on any other target. Loads and stores go through
// memcpy, so they need no alignment and break no aliasing rule.

#include <cstring>

namespace brimtone {

using Float4 = float __attribute__((vector_size(16)));

inline Float4 load4(const float* source)
{
    Float4 value;
    std::memcpy(&value, source, sizeof value);
    return value;
}

inline void store4(float* destination, Float4 value) { std::memcpy(destination, &value, sizeof value); }

inline Float4 broadcast4(float value) { return Float4{value, value, value, value}; }

// `value` with its last lane replaced by `last`. A window whose newest sample
// is about to be stored is loaded before the store and completed from the
// register: a vector load over a float just stored would wait for the store
// to reach the cache.
inline Float4 withLastLane(Float4 value, float last)
{
    value[3] = last;
    return value;
}

// Lanes in reverse order.
inline Float4 reverse4(Float4 value) { return __builtin_shufflevector(value, value, 3, 2, 1, 0); }

// Even and odd lanes of the eight floats (low, high).
inline Float4 evenLanes(Float4 low, Float4 high) { return __builtin_shufflevector(low, high, 0, 2, 4, 6); }
inline Float4 oddLanes(Float4 low, Float4 high) { return __builtin_shufflevector(low, high, 1, 3, 5, 7); }

// Lane-by-lane interleave of two vectors: (a0 b0 a1 b1) and (a2 b2 a3 b3).
inline Float4 interleaveLow(Float4 a, Float4 b) { return __builtin_shufflevector(a, b, 0, 4, 1, 5); }
inline Float4 interleaveHigh(Float4 a, Float4 b) { return __builtin_shufflevector(a, b, 2, 6, 3, 7); }

// In-place transpose of the 4x4 matrix whose rows are r0 ... r3.
inline void transpose4(Float4& r0, Float4& r1, Float4& r2, Float4& r3)
{
    const Float4 t0 = interleaveLow(r0, r1);
    const Float4 t1 = interleaveHigh(r0, r1);
    const Float4 t2 = interleaveLow(r2, r3);
    const Float4 t3 = interleaveHigh(r2, r3);
    r0 = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
    r1 = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
    r2 = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
    r3 = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}

inline float horizontalSum(Float4 value) { return (value[0] + value[1]) + (value[2] + value[3]); }

} // namespace brimtone
