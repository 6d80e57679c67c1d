#include "platform/AskYesNo.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace brimtone::platform {

std::optional<bool> askYesNo(void* owner, const char* question, const char* caption)
{
#ifdef _WIN32
    return MessageBoxA(static_cast<HWND>(owner), question, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
#else
    (void)owner;
    (void)question;
    (void)caption;
    return std::nullopt;
#endif
}

} // namespace brimtone::platform
