#pragma once

namespace brimtone::platform {

// The widest vector instruction set that code may use here: the processor runs it and the
// operating system saves its registers across thread switches.
enum class VectorLevel { Sse2, Avx2, Avx512 };

inline VectorLevel vectorLevel()
{
    static const VectorLevel level = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl")
            && __builtin_cpu_supports("avx512dq"))
            return VectorLevel::Avx512;
        if (__builtin_cpu_supports("avx2"))
            return VectorLevel::Avx2;
        return VectorLevel::Sse2;
    }();
    return level;
}

} // namespace brimtone::platform
