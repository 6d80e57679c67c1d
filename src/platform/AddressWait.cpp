#include "platform/AddressWait.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <climits>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace brimtone::platform {

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t)
                  && std::atomic<std::uint32_t>::is_always_lock_free,
              "the kernel waits on the atomic's own storage");

#ifdef _WIN32

void waitWhileEqual(std::atomic<std::uint32_t>& word, std::uint32_t expected)
{
    WaitOnAddress(&word, &expected, sizeof expected, INFINITE);
}

void wakeAll(std::atomic<std::uint32_t>& word) { WakeByAddressAll(&word); }

#else

void waitWhileEqual(std::atomic<std::uint32_t>& word, std::uint32_t expected)
{
    syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAIT_PRIVATE, expected, nullptr, nullptr, 0);
}

void wakeAll(std::atomic<std::uint32_t>& word)
{
    syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

#endif

} // namespace brimtone::platform
