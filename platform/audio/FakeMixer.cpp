#include "platform/audio/MixerBackends.h"

#include <atomic>
#include <charconv>
#include <mutex>

namespace fz::audio {
namespace {

// The one volume of the process that every fake mixer shares, as a system's volume is shared.
struct FakeVolume {
    std::mutex mutex;
    std::uint32_t maximum = 0;
    std::uint32_t value = 0;
};

FakeVolume& Shared() {
    static FakeVolume volume;
    return volume;
}

std::atomic<bool> g_failing{false};

bool ParseNumber(std::string_view text, std::uint32_t* value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

class FakeMixer final : public Mixer {
public:
    bool GetMaximum(std::uint32_t* maximum) override {
        if (g_failing || !maximum)
            return false;
        std::lock_guard lock(Shared().mutex);
        *maximum = Shared().maximum;
        return true;
    }
    bool GetVolume(std::uint32_t* value) override {
        if (g_failing || !value)
            return false;
        std::lock_guard lock(Shared().mutex);
        *value = Shared().value;
        return true;
    }
    bool SetVolume(std::uint32_t value) override {
        if (g_failing)
            return false;
        std::lock_guard lock(Shared().mutex);
        if (value > Shared().maximum)
            return false;
        Shared().value = value;
        return true;
    }
};

} // namespace

// "MAX" or "MAX:VALUE". Each open sets the shared volume from the text, as FRAMZEL_MIXER
// describes the machine the process runs on.
std::unique_ptr<Mixer> OpenFakeMixer(std::string_view settings) {
    const auto colon = settings.find(':');
    std::uint32_t maximum = 0;
    if (!ParseNumber(settings.substr(0, colon), &maximum))
        return nullptr;
    std::uint32_t value = static_cast<std::uint32_t>((std::uint64_t{maximum} + 1) / 2);
    if (colon != std::string_view::npos &&
        (!ParseNumber(settings.substr(colon + 1), &value) || value > maximum))
        return nullptr;
    std::lock_guard lock(Shared().mutex);
    Shared().maximum = maximum;
    Shared().value = value;
    return std::make_unique<FakeMixer>();
}

void SetFakeMixerFailing(bool failing) {
    g_failing = failing;
}

} // namespace fz::audio
