#pragma once

namespace brimtone::platform {

// The plug-in module's own handle, stored by the library's load hook; the
// editor loads its images and registers its window classes through it.
void* moduleHandle();
void setModuleHandle(void* handle);

// The system the module was built for, as the About panel names it: "Win64" or "Linux".
const char* systemName();

} // namespace brimtone::platform
