#pragma once
// How a normalised parameter value (0..1) becomes a setting. The same rules
// serve the engine setters and the parameter display texts, so what the host
// shows is always what the engine does.

#include <cmath>

namespace brimtone {

// Limits a value to 0..1; below 0 or not a number gives 0.
inline double limitUnit(double value)
{
    if (!(value >= 0.0))
        return 0.0;
    return value > 1.0 ? 1.0 : value;
}

// An n-way selector: the limited value times n, truncated, at most n - 1.
inline int selectWay(double value, int ways)
{
    const int way = static_cast<int>(limitUnit(value) * ways);
    return way < ways - 1 ? way : ways - 1;
}

// A switch is on from 0.5 upwards.
inline bool switchOn(double value) { return value >= 0.5; }

// Reads a curve of `points` values covering 0..1 by linear interpolation; a
// fraction at or below 1e-6 reads the lower point alone, so the last point is
// reached exactly and nothing past it is ever read.
inline double curveLookup(const double* curve, int points, double position)
{
    const double x = limitUnit(position) * (points - 1);
    const int i = static_cast<int>(x);
    const double f = x - i;
    if (f <= 1e-6)
        return curve[i];
    return curve[i] + (curve[i + 1] - curve[i]) * f;
}

} // namespace brimtone
