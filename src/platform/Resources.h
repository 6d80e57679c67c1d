#pragma once
// Data embedded in the plug-in module (the editor's PNG images), found by a
// numeric id and a type name, as Windows resources are.

#include <cstdint>
#include <span>

namespace brimtone::platform {

// The bytes of the resource `id` of type `type` (for example "PNG"), or an
// empty span when the module holds no such resource. The bytes live as long
// as the module.
std::span<const std::uint8_t> findResource(int id, const char* type);

} // namespace brimtone::platform
