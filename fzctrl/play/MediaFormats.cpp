#include "fzctrl/play/MediaFormats.h"

namespace fz {

BitmapInfoHeader MakeMoviePictureFormat(std::int32_t width, std::int32_t height) {
    BitmapInfoHeader header;
    header.width = width;
    header.height = height;
    header.planes = 1;
    header.bitCount = 24;
    header.sizeImage = static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(height) * 3u;
    return header;
}

WaveFormatRecord MakeMovieSoundFormat(std::uint16_t channels, std::uint32_t sampleRate) {
    WaveFormatRecord format;
    format.formatTag = kWaveFormatPcm;
    format.channels = channels;
    format.samplesPerSec = sampleRate;
    format.blockAlign = static_cast<std::uint16_t>(channels * 2u);
    format.avgBytesPerSec = channels * sampleRate * 2u;
    format.bitsPerSample = 16;
    return format;
}

} // namespace fz
