#include "platform/time/TickCount.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <time.h>

namespace fz::time {
namespace {

std::atomic<std::uint32_t> g_testOffset{0};

std::uint64_t MonotonicMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

} // namespace

std::uint32_t GetTickCount() {
    // Truncation to 32 bits is the wrap; unsigned addition keeps it for the test offset.
    return static_cast<std::uint32_t>(MonotonicMilliseconds()) +
           g_testOffset.load(std::memory_order_relaxed);
}

std::uint32_t TimeGetTime() {
    return GetTickCount();
}

std::uint64_t GetTickCount64() {
    return MonotonicMilliseconds();
}

void Sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void SetTickCountForTesting(std::uint32_t ticks) {
    g_testOffset.store(ticks - static_cast<std::uint32_t>(MonotonicMilliseconds()),
                       std::memory_order_relaxed);
}

void ResetTickCountForTesting() {
    g_testOffset.store(0, std::memory_order_relaxed);
}

} // namespace fz::time
