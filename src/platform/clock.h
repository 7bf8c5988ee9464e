#pragma once
// Millisecond time as the camera code measures it: 32-bit counters that wrap
// after 49.7 days, so every time-out must be computed as an unsigned difference.
#include <cstdint>

namespace vantix {

void Sleep(uint32_t milliseconds);

// Told the length of every Sleep before it sleeps, from the sleeping thread:
// the detailed USB trace records the camera code's pauses between requests
// this way. Null (the default) for none.
using SleepObserver = void (*)(uint32_t milliseconds);
void SetSleepObserver(SleepObserver observer);

// Milliseconds since an arbitrary start, wrapping at 2^32 (GetTickCount).
uint32_t TickCount();
// The multimedia timer's millisecond counter, wrapping the same way (timeGetTime).
uint32_t TimeGetTime();

// CLOCK_MONOTONIC in nanoseconds: the time stamps frames carry for
// applications (the same clock as their own clock_gettime readings).
uint64_t MonotonicNanoseconds();

// Elapsed milliseconds from `start` to `now`, correct across one wrap.
inline uint32_t ElapsedMs(uint32_t start, uint32_t now) { return now - start; }

// Tests shift both clocks so that they sit just before the wrap; the shift is
// added to every reading. 0 in production.
void SetClockOffsetForTesting(uint32_t offsetMs);

}  // namespace vantix
