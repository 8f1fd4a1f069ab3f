#pragma once

#include <cstdint>

namespace fz::time {

// The platform's millisecond counters (GetTickCount, timeGetTime): milliseconds of
// CLOCK_MONOTONIC, which starts near boot and does not jump with the wall clock, cut to 32
// bits. Like the originals they wrap to 0 after 2^32 ms (49.7 days); an interval is the
// unsigned difference `later - earlier` (TicksBetween), which stays right across the wrap as
// long as it is shorter than 49.7 days. Both counters read the same clock here; any thread
// may call them.
std::uint32_t GetTickCount();
std::uint32_t TimeGetTime();

// The same clock without the wrap.
std::uint64_t GetTickCount64();

constexpr std::uint32_t TicksBetween(std::uint32_t earlier, std::uint32_t later) {
    return later - earlier;
}

// Suspends the calling thread for at least `milliseconds`.
void Sleep(std::uint32_t milliseconds);

// For tests: shifts both 32-bit counters so that they read `ticks` now (e.g. just before the
// wrap) and run on from there; ResetTickCountForTesting undoes it.
void SetTickCountForTesting(std::uint32_t ticks);
void ResetTickCountForTesting();

} // namespace fz::time
