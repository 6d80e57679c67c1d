#pragma once
// The editor's failure report: what could not be done (often a control's class name)
// and where. The editor degrades instead of failing, so the report changes nothing;
// a sink, when one is installed, gets to see it (tests watch it this way).

namespace brimtone::editor {

using TraceSink = void (*)(const char* message, const char* location);

void DebugTrace(const char* message, const char* location);

// Installs a sink (null for none) and returns the previous one. Editor thread only.
TraceSink setTraceSink(TraceSink sink);

} // namespace brimtone::editor
