#pragma once

#include <cstdint>
#include <string>

namespace fz::cli {

// One look at a running conversion, as the progress timer polls it every 100 ms.
struct ProgressSample {
    long positionMs = 0;
    long durationMs = 0;
    double elapsedSeconds = 0; // wall-clock time since the conversion started
};

// The progress text: percentage, position / duration, speed as a multiple of real time and
// the estimated time left, e.g. " 42%  0:12.6 / 0:30.0  8.4x  0:02 left". Unknown parts (no
// duration yet, no time passed) are left out.
std::string ProgressText(const ProgressSample& sample);

// "m:ss.t" for a time in ms.
std::string ClockText(long ms);

// Shows the progress on standard error: a bar redrawn in place on a terminal, otherwise a
// plain line at every tenth of the way. Nothing when quiet.
class ProgressDisplay {
public:
    ProgressDisplay(bool quiet, bool terminal, std::string label);
    void Update(const ProgressSample& sample);
    // Ends the display's line (on a terminal).
    void Finish();

private:
    bool m_quiet;
    bool m_terminal;
    std::string m_label;
    int m_lastTenth = -1;
    bool m_drawn = false;
};

} // namespace fz::cli
