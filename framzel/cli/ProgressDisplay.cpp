#include "framzel/cli/ProgressDisplay.h"

#include <algorithm>
#include <cstdio>

namespace fz::cli {

std::string ClockText(long ms) {
    if (ms < 0)
        ms = 0;
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld.%ld", ms / 60000, ms / 1000 % 60, ms / 100 % 10);
    return text;
}

std::string ProgressText(const ProgressSample& s) {
    std::string text;
    char part[64];
    if (s.durationMs > 0) {
        const long percent =
            std::clamp<long>(static_cast<long>(100.0 * s.positionMs / s.durationMs), 0, 100);
        std::snprintf(part, sizeof part, "%3ld%%  ", percent);
        text += part;
    }
    text += ClockText(s.positionMs);
    if (s.durationMs > 0)
        text += " / " + ClockText(s.durationMs);
    if (s.elapsedSeconds > 0 && s.positionMs > 0) {
        const double speed = s.positionMs / 1000.0 / s.elapsedSeconds;
        std::snprintf(part, sizeof part, "  %.1fx", speed);
        text += part;
        if (s.durationMs > s.positionMs) {
            const auto left = static_cast<long>((s.durationMs - s.positionMs) / speed);
            std::snprintf(part, sizeof part, "  %ld:%02ld left", left / 60000, left / 1000 % 60);
            text += part;
        }
    }
    return text;
}

ProgressDisplay::ProgressDisplay(bool quiet, bool terminal, std::string label)
    : m_quiet(quiet)
    , m_terminal(terminal)
    , m_label(std::move(label)) {}

void ProgressDisplay::Update(const ProgressSample& sample) {
    if (m_quiet)
        return;
    const std::string text = ProgressText(sample);
    if (m_terminal) {
        constexpr int kBarWidth = 24;
        const int filled =
            sample.durationMs > 0
                ? std::clamp<int>(
                      static_cast<int>(kBarWidth * static_cast<double>(sample.positionMs) /
                                       sample.durationMs),
                      0, kBarWidth)
                : 0;
        std::string bar = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                          std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "]";
        std::fprintf(stderr, "\r%s %s %s\033[K", m_label.c_str(), bar.c_str(), text.c_str());
        std::fflush(stderr);
        m_drawn = true;
        return;
    }
    const int tenth =
        sample.durationMs > 0 ? static_cast<int>(10.0 * sample.positionMs / sample.durationMs) : 0;
    if (tenth > m_lastTenth) {
        m_lastTenth = tenth;
        std::fprintf(stderr, "%s %s\n", m_label.c_str(), text.c_str());
    }
}

void ProgressDisplay::Finish() {
    if (m_terminal && m_drawn)
        std::fputc('\n', stderr);
    m_drawn = false;
}

} // namespace fz::cli
