#include "tools/mediagen/TestPattern.h"

#include "tools/mediagen/ClipGenerator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

extern "C" {
#include <libavutil/frame.h>
}

namespace fz::mediagen {
namespace {

// Studio-range luma of black and white, and the bar's colour (a saturated red).
constexpr std::uint8_t kBlackY = 16;
constexpr std::uint8_t kWhiteY = 235;
constexpr std::uint8_t kBarY = 81, kBarU = 90, kBarV = 240;

// The band holds a black guard cell, the frame number's bits (most significant first) and a
// white guard cell, so a white or damaged band does not read as a number.
constexpr int kBandCells = kFrameNumberBits + 2;

int CellWidth(int width) {
    return width / kBandCells;
}

bool CellIsWhite(std::int64_t index, int cell) {
    if (cell <= 0)
        return false;
    if (cell > kFrameNumberBits)
        return cell == kBandCells - 1;
    return ((index >> (kFrameNumberBits - cell)) & 1) != 0;
}

int BarX(std::int64_t index, int width) {
    const std::int64_t step = std::max(2, width / 40);
    return static_cast<int>((index * step) % width);
}

} // namespace

int FrameNumberBandHeight(int height) {
    return std::max(8, (height / 6) & ~1);
}

void DrawPicture(AVFrame& frame, std::int64_t index, bool white) {
    const int width = frame.width;
    const int height = frame.height;
    const int band = FrameNumberBandHeight(height);
    const int barX = BarX(index, width);
    const int barWidth = std::max(4, width / 10);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = frame.data[0] + static_cast<std::ptrdiff_t>(y) * frame.linesize[0];
        for (int x = 0; x < width; ++x) {
            std::uint8_t value;
            if (white) {
                value = kWhiteY;
            } else if (y >= height - band) {
                const int cell = x / std::max(1, CellWidth(width));
                value = CellIsWhite(index, cell) ? kWhiteY : kBlackY;
            } else if (x >= barX && x < barX + barWidth) {
                value = kBarY;
            } else {
                value = static_cast<std::uint8_t>(60 + 120 * x / width);
            }
            row[x] = value;
        }
    }
    for (int y = 0; y < height / 2; ++y) {
        std::uint8_t* u = frame.data[1] + static_cast<std::ptrdiff_t>(y) * frame.linesize[1];
        std::uint8_t* v = frame.data[2] + static_cast<std::ptrdiff_t>(y) * frame.linesize[2];
        for (int x = 0; x < width / 2; ++x) {
            const bool inBar =
                !white && 2 * y < height - band && 2 * x >= barX && 2 * x < barX + barWidth;
            const bool grey = white || 2 * y >= height - band;
            u[x] = inBar ? kBarU : grey ? 128 : static_cast<std::uint8_t>(150 - 40 * x * 2 / width);
            v[x] = inBar ? kBarV : 128;
        }
    }
}

float SoundValue(std::int64_t index, int sampleRate, double toneHz, double amplitude,
                 std::int64_t clickSample) {
    if (clickSample >= 0 && index >= clickSample) {
        const std::int64_t clickLength = std::max<std::int64_t>(2, sampleRate / 500);
        if (index < clickSample + clickLength)
            return (index - clickSample) < clickLength / 2 ? 1.0f : -1.0f;
    }
    const double phase = 2.0 * std::numbers::pi * toneHz * static_cast<double>(index) /
                         static_cast<double>(sampleRate);
    return static_cast<float>(amplitude * std::sin(phase));
}

std::optional<std::int64_t> ReadFrameNumber(const std::uint8_t* pixels, int width, int height,
                                            std::ptrdiff_t stride, bool bottomUp) {
    if (pixels == nullptr || width < 2 * kBandCells || height < 8)
        return std::nullopt;
    const int band = FrameNumberBandHeight(height);
    const int cellWidth = CellWidth(width);
    // The middle half of each cell, away from the blur of lossy coding at its edges.
    const int y0 = height - band + band / 4;
    const int y1 = height - band / 4;
    std::int64_t number = 0;
    for (int cell = 0; cell < kBandCells; ++cell) {
        const int x0 = cell * cellWidth + cellWidth / 4;
        const int x1 = std::max(x0 + 1, cell * cellWidth + 3 * cellWidth / 4);
        long sum = 0;
        long count = 0;
        for (int y = y0; y < y1; ++y) {
            const int row = bottomUp ? height - 1 - y : y;
            const std::uint8_t* line = pixels + static_cast<std::ptrdiff_t>(row) * stride;
            for (int x = x0; x < x1; ++x) {
                const std::uint8_t* p = line + 4 * x;
                sum += (p[0] + 2 * p[1] + p[2]) / 4;
                ++count;
            }
        }
        const long mean = count > 0 ? sum / count : 0;
        if (mean > 70 && mean < 180)
            return std::nullopt;
        const bool white = mean >= 180;
        if ((cell == 0 && white) || (cell == kBandCells - 1 && !white))
            return std::nullopt;
        if (cell > 0 && cell <= kFrameNumberBits)
            number = (number << 1) | (white ? 1 : 0);
    }
    return number;
}

bool IsWhitePicture(const std::uint8_t* pixels, int width, int height, std::ptrdiff_t stride) {
    if (pixels == nullptr || width <= 0 || height <= 0)
        return false;
    long white = 0;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* line = pixels + static_cast<std::ptrdiff_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = line + 4 * x;
            if (p[0] > 220 && p[1] > 220 && p[2] > 220)
                ++white;
        }
    }
    return white * 100 >= static_cast<long>(width) * height * 95;
}

} // namespace fz::mediagen
