#include "fzctrl/play/mpa/MpaLayer3Stereo.h"

#include "fzctrl/play/mpa/MpaLayer3BuiltTables.h"

#include <algorithm>

namespace fz::mpa {

namespace {

constexpr float kInverseSqrt2 = 0.70710678118654752f;

// An intensity position: the right channel's scale factor and whether it is a legal one.
struct Position {
    int value;
    bool legal;
};

class StereoProcessor {
public:
    StereoProcessor(Layer3Spectrum& left, Layer3Spectrum& right, bool middleSide, bool lsf,
                    int intensityScale)
        : m_left(left.lines)
        , m_right(right.lines)
        , m_middleSide(middleSide)
        , m_lsf(lsf)
        , m_intensityScale(intensityScale)
        , m_end(std::max(left.nonZeroEnd, right.nonZeroEnd)) {}

    Position Mpeg1Position(int value) const { return {value, value < 7}; }
    Position LsfPosition(int value, int maxValue) const { return {value, value != maxValue}; }

    // Lines [start, start + count) outside the intensity region.
    void Plain(int start, int count) {
        count = std::min(start + count, m_end) - start;
        if (!m_middleSide || count <= 0) {
            return;
        }
        for (int i = start; i < start + count; ++i) {
            float m = m_left[i];
            float s = m_right[i];
            m_left[i] = (m + s) * kInverseSqrt2;
            m_right[i] = (m - s) * kInverseSqrt2;
        }
    }

    // Lines [start, start + count) of a band in the intensity region.
    void Intensity(int start, int count, Position position) {
        if (!position.legal) {
            Plain(start, count);
            return;
        }
        count = std::min(start + count, m_end) - start;
        if (count <= 0) {
            return;
        }
        const Layer3BuiltTables& t = Layer3Tables();
        const auto& k = m_lsf ? t.intensityLsf[static_cast<std::size_t>(m_intensityScale)]
                                              [static_cast<std::size_t>(position.value & 31)]
                              : t.intensityMpeg1[static_cast<std::size_t>(position.value)];
        for (int i = start; i < start + count; ++i) {
            float m = m_left[i];
            m_left[i] = m * k[0];
            m_right[i] = m * k[1];
        }
    }

    int End() const { return m_end; }
    bool Lsf() const { return m_lsf; }
    const float* Right() const { return m_right; }

private:
    float* m_left;
    float* m_right;
    bool m_middleSide;
    bool m_lsf;
    int m_intensityScale;
    int m_end;
};

bool AnyNonZero(const float* lines, int start, int count) {
    for (int i = start; i < start + count; ++i) {
        if (lines[i] != 0.0f) {
            return true;
        }
    }
    return false;
}

Position LongPosition(const StereoProcessor& p, const Layer3ScaleFactors& sf, int band) {
    return p.Lsf() ? p.LsfPosition(sf.longBands[band], sf.longMax[band])
                   : p.Mpeg1Position(sf.longBands[band]);
}

Position ShortPosition(const StereoProcessor& p, const Layer3ScaleFactors& sf, int band,
                       int window) {
    return p.Lsf() ? p.LsfPosition(sf.shortBands[band][window], sf.shortMax[band])
                   : p.Mpeg1Position(sf.shortBands[band][window]);
}

// Long bands [0, bandCount) covering lines [0, lineEnd), with the intensity region above the
// last non-zero right line below `rightEnd`. Band 21 takes band 20's position, also when band 20
// itself lies below the region (see Layer3ApplyStereo).
void LongBands(StereoProcessor& p, const Layer3ScaleFactors& sf, const std::int16_t* bounds,
               int bandCount, int rightEnd) {
    int first = 0;
    while (first < bandCount && bounds[first] < rightEnd) {
        ++first;
    }
    p.Plain(0, bounds[first]);
    for (int band = first; band < bandCount; ++band) {
        const Position position = LongPosition(p, sf, std::min(band, kLongBands - 2));
        p.Intensity(bounds[band], bounds[band + 1] - bounds[band], position);
    }
}

// Short bands [firstBand, 13) of the three windows. Returns whether the right channel has a
// non-zero line there. Band 12 of a window takes band 11's position of that window.
bool ShortBands(StereoProcessor& p, const Layer3ScaleFactors& sf, const std::int16_t* bounds,
                int firstBand) {
    bool anyRight = false;
    for (int window = 0; window < 3; ++window) {
        int first = firstBand;
        for (int band = kShortBands - 1; band >= firstBand; --band) {
            const int width = bounds[band + 1] - bounds[band];
            if (AnyNonZero(p.Right(), 3 * bounds[band] + window * width, width)) {
                first = band + 1;
                anyRight = true;
                break;
            }
        }
        for (int band = firstBand; band < kShortBands; ++band) {
            const int width = bounds[band + 1] - bounds[band];
            const int start = 3 * bounds[band] + window * width;
            if (band < first) {
                p.Plain(start, width);
                continue;
            }
            p.Intensity(start, width,
                        ShortPosition(p, sf, std::min(band, kShortBands - 2), window));
        }
    }
    return anyRight;
}

} // namespace

void Layer3ApplyStereo(Layer3Spectrum& left, Layer3Spectrum& right,
                       const Layer3GranuleInfo& rightGranule, const Layer3ScaleFactors& rightSf,
                       int modeExtension, int version, int rateRow) {
    const bool middleSide = (modeExtension & static_cast<int>(Layer3StereoModes::MiddleSide)) != 0;
    const bool intensity = (modeExtension & static_cast<int>(Layer3StereoModes::Intensity)) != 0;
    const bool lsf = version != 1;
    StereoProcessor p(left, right, middleSide, lsf, rightGranule.scalefacCompress & 1);
    const int end = p.End();

    if (!intensity) {
        p.Plain(0, kGranuleLines);
    } else {
        const std::int16_t* longBounds =
            Layer3Tables().longBounds[static_cast<std::size_t>(rateRow)].data();
        const std::int16_t* shortBounds =
            Layer3Tables().shortBounds[static_cast<std::size_t>(rateRow)].data();
        if (rightGranule.blockType != Layer3BlockType::Short) {
            LongBands(p, rightSf, longBounds, kLongBands, right.nonZeroEnd);
        } else if (!rightGranule.mixedBlock) {
            ShortBands(p, rightSf, shortBounds, 0);
        } else {
            const int longLines = Layer3MixedLongLines(version, rateRow);
            const int longBandCount = version == 1 ? kMixedLongBandsMpeg1 : kMixedLongBandsLsf;
            if (ShortBands(p, rightSf, shortBounds, kMixedFirstShortBand)) {
                p.Plain(0, longLines);
            } else {
                LongBands(p, rightSf, longBounds, longBandCount,
                          std::min(right.nonZeroEnd, longLines));
            }
        }
    }
    left.nonZeroEnd = end;
    right.nonZeroEnd = end;
}

} // namespace fz::mpa
