#include "fzdsp/filters/FrameSchedule.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace fz::dsp {
namespace {

// A double truncated towards zero into 64 bits, saturating (a NaN gives 0).
std::int64_t Truncate(double value) {
    if (std::isnan(value))
        return 0;
    constexpr double kLimit = 9.2e18;
    return static_cast<std::int64_t>(std::clamp(value, -kLimit, kLimit));
}

} // namespace

void FrameSchedule::SetFrameRate(double rate) {
    m_nextDueMs = 0.0;
    if (!(rate >= 1.0)) // NaN too
        rate = 1.0;
    rate = std::min(rate + 1.0, 30.0);
    m_rate = rate;
    m_intervalMs = std::max(1000.0 / rate, 0.0);
}

bool FrameSchedule::TakeFrame(double nowMs) {
    const std::int64_t distance = std::llabs(Truncate(m_nextDueMs - nowMs));
    if (static_cast<double>(distance) > 2.0 * m_intervalMs)
        m_nextDueMs = nowMs;
    if (nowMs < static_cast<double>(Truncate(m_nextDueMs)))
        return false;
    m_nextDueMs += m_intervalMs;
    return true;
}

} // namespace fz::dsp
