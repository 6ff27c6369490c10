#pragma once
// 90 kHz system clock values.

#include <cstdint>

// A 90 kHz time stamp in milliseconds: the value times the double nearest to 1/90
// (0x3F86C16C16C16C17), rounded once. Multiplying, not dividing, is what the displayed
// values and the stored ones rely on.
inline double TicksToMs(uint64_t ticks)
{
    constexpr double kOneNinetieth = 1.0 / 90.0;
    return static_cast<double>(ticks) * kOneNinetieth;
}
