#pragma once

#include "platform/audio/Mixer.h"

#include <memory>

namespace fz {

// The system's wave playback volume on a scale of 0..100 steps, for the control's volume
// methods. Opened when the control is built, closed when it is destroyed; used on the control's
// thread.
//
// The scale: step size = the control's raw maximum / 100 (integer division); a query reports
// round(raw value / step size) and a set writes step size × volume. A mixer whose maximum is
// below 100 cannot be used. A set needs a successful query before it (the step size comes from
// the last one).
class CVolumeMixer {
public:
    CVolumeMixer();
    ~CVolumeMixer();
    CVolumeMixer(const CVolumeMixer&) = delete;
    CVolumeMixer& operator=(const CVolumeMixer&) = delete;

    // Closes a mixer that is open and opens the system's (FRAMZEL_MIXER). False when there is
    // none: every later query and set fails.
    bool Open();
    void Close();

    // The volume on the 0..100 scale (a mixer whose maximum is not a multiple of 100 may report
    // more than 100). False, with volume 0, when the mixer cannot be read.
    bool Query(int& volume);

    // Writes step size × volume (not limited to 0..100; the mixer refuses values beyond its
    // range). False without a mixer, before any successful query, or when the mixer refuses.
    bool Set(int volume);

    static constexpr int kSteps = 100;

private:
    std::unique_ptr<audio::Mixer> m_mixer;
    bool m_queried = false;
    int m_stepSize = 0;
    int m_minimum = 0;
};

} // namespace fz
