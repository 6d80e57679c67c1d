#pragma once

namespace brimtone::platform {

// The plug-in module's own handle, stored by the library's load hook; the
// editor loads its images and registers its window classes through it.
void* moduleHandle();
void setModuleHandle(void* handle);

} // namespace brimtone::platform
