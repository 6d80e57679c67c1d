#pragma once
#include <cstdint>

namespace brimtone {

// Who the plug-in is, as hosts, the About panel and the update check see it.
// Text fields have the sizes of the interface's buffers.
struct PluginIdentity {
    char vendor[64];
    char effectName[32];
    char product[64];
    char downloadUrl[48];
    char versionUrl[48];
    char uniqueId[4];
    std::int32_t versionCode; // 1000 reads "1.0.00"
};

extern const PluginIdentity pluginIdentity;

// The unique ID as the host sees it: first character in the most significant byte.
std::int32_t pluginUniqueId();

// Copies `text` into a buffer of `capacity` bytes: at most capacity - 1
// characters, then zeros up to the end of the buffer. Nothing beyond
// destination[capacity - 1] is written.
void copyBounded(char* destination, const char* text, int capacity);

} // namespace brimtone
