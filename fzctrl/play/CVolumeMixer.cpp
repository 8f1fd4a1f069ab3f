#include "fzctrl/play/CVolumeMixer.h"

#include <cstdint>

namespace fz {

CVolumeMixer::CVolumeMixer() {
    Open();
}

CVolumeMixer::~CVolumeMixer() {
    Close();
}

bool CVolumeMixer::Open() {
    Close();
    m_mixer = audio::Mixer::Open();
    return m_mixer != nullptr;
}

void CVolumeMixer::Close() {
    m_mixer.reset();
    m_queried = false;
    m_stepSize = 0;
}

bool CVolumeMixer::Query(int& volume) {
    volume = 0;
    std::uint32_t maximum = 0;
    std::uint32_t raw = 0;
    if (!m_mixer || !m_mixer->GetMaximum(&maximum) || !m_mixer->GetVolume(&raw))
        return false;
    m_minimum = 0;
    const std::int64_t value = std::int64_t{raw} - m_minimum;
    const std::int64_t stepSize = std::int64_t{maximum} / kSteps;
    if (stepSize <= 0 || stepSize > 0x7FFFFFFF)
        return false;
    m_stepSize = static_cast<int>(stepSize);
    m_queried = true;
    volume = static_cast<int>(static_cast<double>(value > 0 ? value : 0) / m_stepSize + 0.5);
    return true;
}

bool CVolumeMixer::Set(int volume) {
    if (!m_mixer || !m_queried)
        return false;
    const std::int64_t raw = std::int64_t{m_stepSize} * volume + m_minimum;
    if (raw < 0 || raw > 0xFFFFFFFFll)
        return false;
    return m_mixer->SetVolume(static_cast<std::uint32_t>(raw));
}

} // namespace fz
