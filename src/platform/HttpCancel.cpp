#include "platform/HttpGet.h"

#ifdef _WIN32
#include <windows.h>
#include <wininet.h>
#endif

namespace brimtone::platform {

void HttpCancel::cancel()
{
    requested_.store(true, std::memory_order_release);
    expire();
}

void HttpCancel::expire()
{
    std::lock_guard lock(mutex_);
#ifdef _WIN32
    if (handle_ != nullptr)
        InternetCloseHandle(static_cast<HINTERNET>(handle_));
#endif
    handle_ = nullptr;
}

bool HttpCancel::attach(void* handle)
{
    std::lock_guard lock(mutex_);
    if (cancelled())
        return false;
    handle_ = handle;
    return true;
}

void* HttpCancel::detach()
{
    std::lock_guard lock(mutex_);
    void* handle = handle_;
    handle_ = nullptr;
    return handle;
}

} // namespace brimtone::platform
