#include "shell/Programs.h"

#include <cstdio>

namespace brimtone {

// Values by parameter index: Enable, Channel, Input, Gain, Level, Low, Mid,
// High, Shape, Reverb, Ambience, Master, Stereo, Oversmpl, SpkSim, RevMode,
// AmpMode, Bright, TubeMode, Limiter.
const TProgram factoryPrograms[kNumFactoryPrograms] = {
    {"Vintage Tube Amp",
     {1, 0, 1, 0.95f, 1, 0.55f, 0.22f, 0.72f, 0.31f, 0.65f, 0.78f, 0.33f, 1, 1, 0.5f, 1, 0.5f, 1, 1, 1}},
    {"Clean 2000",
     {1, 0.26f, 0.5f, 0, 0.88f, 0.51f, 0.6f, 0.88f, 0, 0.28f, 0.59f, 0.58f, 1, 1, 0.5f, 0.5f, 0.5f, 0, 1, 1}},
    {"Clean 94", {1, 0.26f, 0.5f, 0, 1, 0.51f, 0.6f, 0.8f, 0, 0.28f, 0.59f, 0.45f, 1, 1, 1, 0.5f, 0, 1, 1, 1}},
    {"Boosted Clean",
     {1, 0.26f, 1, 0, 0.74f, 0.51f, 0.89f, 0.73f, 0, 0.37f, 0.72f, 0.53f, 1, 1, 1, 1, 0.5f, 1, 0.5f, 1}},
    {"Cleanest", {1, 0.26f, 0.5f, 0, 1, 0.6f, 0.65f, 0.8f, 0, 0.28f, 0.59f, 0.38f, 1, 1, 0.5f, 0.5f, 0, 1, 0, 0}},
    {"Transparent Drive",
     {1, 0.51f, 0.5f, 0.48f, 1, 0.6f, 0.65f, 0.55f, 0, 0.28f, 0.68f, 0.66f, 1, 1, 0.5f, 0.5f, 0, 1, 0.5f, 1}},
    {"Slight Drive",
     {1, 0.51f, 0.5f, 0.16f, 0.92f, 0.56f, 0.79f, 0.38f, 0, 0.28f, 0.68f, 0.76f, 1, 1, 0.5f, 1, 1, 1, 0.5f, 1}},
    {"Medium Drive",
     {1, 0.51f, 0.5f, 0.68f, 1, 0.56f, 0.82f, 0.55f, 0, 0.28f, 0.68f, 0.62f, 1, 1, 0.5f, 1, 1, 1, 1, 1}},
    {"Hybrid Drive", {1, 0.51f, 0.5f, 1, 1, 0.54f, 0.59f, 0.55f, 0, 0.28f, 0.72f, 0.54f, 1, 1, 1, 0, 0.5f, 1, 0.5f, 1}},
    {"Solid-State Hi-Gain",
     {1, 1, 0.5f, 1, 1, 0.36f, 0.59f, 0.55f, 0.6f, 0.28f, 0.77f, 0.51f, 1, 1, 1, 0, 0.5f, 1, 0, 1}},
    {"Hybrid Hi-Gain", {1, 1, 0.5f, 1, 1, 0.36f, 0.75f, 0.56f, 0.81f, 0.28f, 0.77f, 0.54f, 1, 1, 1, 0, 0, 1, 0.5f, 1}},
    {"Cranked Up", {1, 1, 0.5f, 1, 1, 0.48f, 0.46f, 0.72f, 0.64f, 0.28f, 0.82f, 0.55f, 1, 1, 1, 0, 1, 1, 1, 1}},
    {"Hi-Gain Lead", {1, 1, 0.5f, 1, 1, 0.35f, 0.5f, 0.61f, 0.34f, 0.83f, 0.87f, 0.57f, 1, 1, 0.5f, 1, 0.5f, 1, 1, 1}},
    {"Mid-Gain Lead",
     {1, 1, 0.5f, 0.8f, 1, 0.57f, 0.66f, 0.48f, 0.22f, 0.9f, 0.62f, 0.57f, 1, 1, 0.5f, 0.5f, 0, 1, 0.5f, 1}},
};

void fillProgramTable(TProgram (&programs)[kNumPrograms])
{
    for (int i = 0; i < kNumFactoryPrograms; ++i)
        programs[i] = factoryPrograms[i];
    for (int slot = kNumFactoryPrograms; slot < kNumPrograms; ++slot) {
        programs[slot] = factoryPrograms[0];
        std::snprintf(programs[slot].name, sizeof programs[slot].name, "Init%d", slot - (kNumFactoryPrograms - 1));
    }
}

} // namespace brimtone
