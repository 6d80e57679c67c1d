#pragma once
#include <optional>

namespace brimtone::platform {

// Asks a yes/no question in the system's own message box, owned by `owner`
// (the host's window); returns the answer. Empty where the system has no
// message box to put over a plug-in window (X11): the editor then asks inside
// its own panel.
std::optional<bool> askYesNo(void* owner, const char* question, const char* caption);

} // namespace brimtone::platform
