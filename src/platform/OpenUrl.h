#pragma once

#include <string>

namespace brimtone::platform {

// Opens an http:// or https:// address in the user's default browser without
// waiting for it; false when the address is of another kind or nothing could
// be started. No shell sees the address.
bool openUrl(const std::string& url);

} // namespace brimtone::platform
