#pragma once
// The plug-in's editor, attached to the effect: the editor reaches the effect only
// through this link (values, texts, automation, display data).

namespace brimtone {

class PluginEffect;

// Constructs the editor for `effect`; it attaches itself, and the effect layer
// deletes it.
void attachEditor(PluginEffect& effect);

} // namespace brimtone
