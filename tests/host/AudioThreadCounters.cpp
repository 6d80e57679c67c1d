#include "AudioThreadCounters.h"

#if defined(_WIN32) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)

std::string counters::unavailableReason()
{
#ifdef _WIN32
    return "the DLL carries its own C runtime, which a test program cannot interpose";
#else
    return "the sanitizer runtime owns malloc and the locks; the plain build counts them";
#endif
}
counters::AudioThreadScope::AudioThreadScope(Counts& into) : into_(into) {}
counters::AudioThreadScope::~AudioThreadScope() = default;

#else

#include <cerrno>
#include <cstdarg>
#include <cstddef>
#include <dlfcn.h>
#include <linux/futex.h>
#include <pthread.h>
#include <sys/syscall.h>

namespace {

thread_local bool onAudioThread = false;
thread_local counters::Counts seen;
int (*realMutexLock)(pthread_mutex_t*) = nullptr;
long (*realSyscall)(long, ...) = nullptr;

// Resolved before main, while one thread runs; dlsym allocates through the
// counting malloc below, which is not counting yet.
__attribute__((constructor)) void resolveRealFunctions()
{
    realMutexLock = reinterpret_cast<int (*)(pthread_mutex_t*)>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    realSyscall = reinterpret_cast<long (*)(long, ...)>(dlsym(RTLD_NEXT, "syscall"));
}

template <class Result>
Result counted(Result result)
{
    seen.allocations += onAudioThread;
    return result;
}

} // namespace

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);

void* malloc(std::size_t size) { return counted(__libc_malloc(size)); }
void* calloc(std::size_t count, std::size_t size) { return counted(__libc_calloc(count, size)); }
void* realloc(void* old, std::size_t size) { return counted(__libc_realloc(old, size)); }
void* aligned_alloc(std::size_t alignment, std::size_t size) { return counted(__libc_memalign(alignment, size)); }
void* memalign(std::size_t alignment, std::size_t size) { return counted(__libc_memalign(alignment, size)); }
int posix_memalign(void** result, std::size_t alignment, std::size_t size)
{
    *result = counted(__libc_memalign(alignment, size));
    return *result == nullptr ? ENOMEM : 0;
}

int pthread_mutex_lock(pthread_mutex_t* mutex)
{
    seen.blockingLocks += onAudioThread;
    return realMutexLock(mutex);
}

long syscall(long number, ...)
{
    va_list arguments;
    va_start(arguments, number);
    long a[6];
    for (long& argument : a)
        argument = va_arg(arguments, long);
    va_end(arguments);
    seen.sleeps += onAudioThread && number == SYS_futex && (a[1] & FUTEX_CMD_MASK) == FUTEX_WAIT;
    return realSyscall(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}
} // extern "C"

std::string counters::unavailableReason()
{
    return realMutexLock && realSyscall ? "" : "the C library's functions were not found";
}

counters::AudioThreadScope::AudioThreadScope(Counts& into) : into_(into)
{
    seen = Counts{};
    onAudioThread = true;
}

counters::AudioThreadScope::~AudioThreadScope()
{
    onAudioThread = false;
    into_.allocations += seen.allocations;
    into_.blockingLocks += seen.blockingLocks;
    into_.sleeps += seen.sleeps;
}

#endif
