#pragma once
#include "shell/Parameters.h"

namespace brimtone {

// One program: a name and one normalised value per parameter.
struct TProgram {
    char name[24];
    float value[kNumParams];
};

constexpr int kNumPrograms = 20;
constexpr int kNumFactoryPrograms = 14;

// The factory programs 0..13.
extern const TProgram factoryPrograms[kNumFactoryPrograms];

// Fills all 20 slots: the factory programs, then "Init1".."Init6" holding
// program 0's values.
void fillProgramTable(TProgram (&programs)[kNumPrograms]);

} // namespace brimtone
