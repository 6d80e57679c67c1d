#include "editor/DebugTrace.h"

namespace brimtone::editor {

namespace {
TraceSink currentSink = nullptr;
}

void DebugTrace(const char* message, const char* location)
{
    if (currentSink)
        currentSink(message, location);
}

TraceSink setTraceSink(TraceSink sink)
{
    TraceSink previous = currentSink;
    currentSink = sink;
    return previous;
}

} // namespace brimtone::editor
