#pragma once
// Sleeping on a 32-bit word and waking its sleepers straight through the
// operating system (a futex on Linux, WaitOnAddress on Windows), with no lock
// on either side: the waking thread makes one system call and never waits.

#include <atomic>
#include <cstdint>

namespace brimtone::platform {

// Sleeps while `word` holds `expected`; may return early (spuriously), so
// callers test their condition again.
void waitWhileEqual(std::atomic<std::uint32_t>& word, std::uint32_t expected);

// Wakes every thread sleeping in waitWhileEqual on `word`.
void wakeAll(std::atomic<std::uint32_t>& word);

} // namespace brimtone::platform
