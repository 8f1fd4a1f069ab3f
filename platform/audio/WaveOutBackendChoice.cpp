#include "platform/audio/WaveOutBackend.h"

#include <cstdlib>
#include <string_view>

namespace fz::audio {

MMRESULT CheckWaveFormat(const WaveFormat& format) {
    const bool pcm = format.formatTag == kWaveFormatPcm;
    const bool bits = format.bitsPerSample == 8 || format.bitsPerSample == 16;
    const bool channels = format.channels == 1 || format.channels == 2;
    const bool rate = format.samplesPerSec >= 1 && format.samplesPerSec <= 384000;
    const bool align = format.blockAlign == format.channels * format.bitsPerSample / 8;
    return pcm && bits && channels && rate && align ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
}

std::unique_ptr<WaveOutBackend> OpenWaveOutBackend(const WaveFormat& format, MMRESULT* error) {
    const char* variable = std::getenv("FRAMZEL_AUDIO");
    const std::string_view choice = variable && *variable ? variable : "alsa";
    if (choice == "null")
        return OpenNullWaveOut(format);
    if (choice.starts_with("file:"))
        return OpenFileWaveOut(format, std::string(choice.substr(5)), error);
    if (choice == "alsa")
        return OpenAlsaWaveOut(format, "default", error);
    if (choice.starts_with("alsa:") && choice.size() > 5)
        return OpenAlsaWaveOut(format, std::string(choice.substr(5)), error);
    *error = MMSYSERR_NODRIVER;
    return nullptr;
}

} // namespace fz::audio
