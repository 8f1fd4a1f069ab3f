#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fz::test {

// libjpeg, through its public API, as the independent judge of the JPEG files we write.

struct DecodedJpeg {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb; // top row first, 3 bytes per pixel, red first
};

// Decodes a whole file to RGB; nothing when libjpeg refuses it (its message goes to `error`).
std::optional<DecodedJpeg> DecodeJpegFile(const std::string& path, std::string* error = nullptr);

// The quantised coefficients of every block, as libjpeg reads them from the entropy-coded data
// (natural order), per component, blocks row by row.
struct JpegCoefficients {
    struct Component {
        int widthInBlocks = 0;
        int heightInBlocks = 0;
        int hSampling = 0;
        int vSampling = 0;
        std::vector<std::array<std::int16_t, 64>> blocks;
    };
    std::vector<Component> components;
};
std::optional<JpegCoefficients> ReadJpegCoefficients(const std::string& path);

// PSNR in dB between a decoded picture and the packed BGR bottom-up input it came from.
double PsnrAgainstBgr(const DecodedJpeg& decoded, const std::vector<std::uint8_t>& bgrBottomUp);

// A smooth synthetic picture (gradients and soft shapes), packed BGR, rows bottom-up.
std::vector<std::uint8_t> SmoothPicture(int width, int height);

} // namespace fz::test
