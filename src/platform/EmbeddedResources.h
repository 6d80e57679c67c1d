#pragma once
// The table of images compiled into the module where the operating system has
// no resources of its own (everything but Windows); generated at build time.

#include <cstddef>
#include <cstdint>

namespace brimtone::platform::embedded {

struct EmbeddedResource {
    int id;
    const std::uint8_t* bytes;
    const std::size_t& size;
};

extern const EmbeddedResource pngTable[];
extern const std::size_t pngCount;

} // namespace brimtone::platform::embedded
