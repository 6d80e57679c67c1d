#pragma once
#include "vst/Vst2.h"

namespace brimtone {

// What the effect layer asks of an attached editor. The editor attaches itself
// to its effect with setEditor on construction and detaches on destruction.
class EffectEditor {
public:
    virtual ~EffectEditor() = default;
    virtual bool getRect(vst::ERect** rect) = 0;
    virtual bool open(void* parentWindow) = 0;
    virtual void close() = 0;
    // The editor refreshes from its own timer; idle has nothing to do.
    virtual void idle() {}
    // Keys and knob modes are declined.
    virtual bool onKeyDown() { return false; }
    virtual bool onKeyUp() { return false; }
    virtual bool setKnobMode(int /*mode*/) { return false; }
};

} // namespace brimtone
