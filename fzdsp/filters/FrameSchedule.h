#pragma once

#include <cstdint>

namespace fz::dsp {

// Which frames the video filter keeps: the schedule of due times at the target frame rate.
// Owned by the video filter; SetFrameRate on the engine's thread before streaming, the rest on
// the streaming thread.
class FrameSchedule {
public:
    // Rate 5.0, interval 1000 / 5 - 5 = 195 ms, next due time 0.
    FrameSchedule() = default;

    // Values below 1.0 become 1.0, then 1.0 is added and the result limited to 30.0; the
    // interval is 1000 / rate in floating point. The schedule starts again at 0.
    void SetFrameRate(double rate);

    // Whether the frame at `nowMs` is due. A time further than two intervals from the next due
    // time (the difference truncated to an integer) re-anchors the schedule at `nowMs` (seeks,
    // gaps, the first frame). A due frame moves the next due time on by one interval.
    bool TakeFrame(double nowMs);

    double Rate() const { return m_rate; }
    double IntervalMs() const { return m_intervalMs; }
    double NextDueMs() const { return m_nextDueMs; }

private:
    double m_rate = 5.0;
    double m_intervalMs = 195.0;
    double m_nextDueMs = 0.0;
};

} // namespace fz::dsp
