#include "platform/Module.h"

#include <atomic>

namespace brimtone::platform {
namespace {
std::atomic<void*> storedModuleHandle{nullptr};
}

void* moduleHandle() { return storedModuleHandle.load(std::memory_order_acquire); }
void setModuleHandle(void* handle) { storedModuleHandle.store(handle, std::memory_order_release); }

const char* systemName()
{
#ifdef _WIN32
    return "Win64";
#else
    return "Linux";
#endif
}

} // namespace brimtone::platform
