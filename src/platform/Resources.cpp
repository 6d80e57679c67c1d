#include "platform/Resources.h"

#ifdef _WIN32
#include "platform/Module.h"

#include <windows.h>
#else
#include "platform/EmbeddedResources.h"

#include <cctype>
#endif

namespace brimtone::platform {

#ifdef _WIN32

std::span<const std::uint8_t> findResource(int id, const char* type)
{
    // Without the module's own handle the lookup would search the host program.
    auto* module = static_cast<HMODULE>(moduleHandle());
    if (module == nullptr || type == nullptr || id <= 0 || id > 0xFFFF)
        return {};
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (info == nullptr)
        return {};
    const DWORD size = SizeofResource(module, info);
    HGLOBAL loaded = LoadResource(module, info);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr || size == 0)
        return {};
    return {static_cast<const std::uint8_t*>(bytes), size};
}

#else

namespace {
// Resource type names compare as on Windows, without regard to case.
bool sameTypeName(const char* a, const char* b)
{
    for (; *a != '\0' && *b != '\0'; ++a, ++b)
        if (std::toupper(static_cast<unsigned char>(*a)) != std::toupper(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}
} // namespace

std::span<const std::uint8_t> findResource(int id, const char* type)
{
    if (type == nullptr || !sameTypeName(type, "PNG"))
        return {};
    for (std::size_t i = 0; i < embedded::pngCount; ++i)
        if (embedded::pngTable[i].id == id)
            return {embedded::pngTable[i].bytes, embedded::pngTable[i].size};
    return {};
}

#endif

} // namespace brimtone::platform
