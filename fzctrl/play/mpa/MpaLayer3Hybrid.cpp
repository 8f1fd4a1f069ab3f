#include "fzctrl/play/mpa/MpaLayer3Hybrid.h"

#include "fzctrl/play/mpa/MpaImdct.h"
#include "fzctrl/play/mpa/MpaLayer3BuiltTables.h"

#include <algorithm>

namespace fz::mpa {

namespace {

constexpr int kSubbands = 32;

// 11172-3 2.4.3.4.8: the short bands from `firstBand` on, sent window after window, become
// line 3 f + window for frequency f, so that subband s holds window w's coefficient k at
// 18 s + 3 k + w. Returns the new end of the non-zero lines.
int ReorderShort(float* lines, int nonZeroEnd, const std::int16_t* bounds, int firstBand) {
    const int start = 3 * bounds[firstBand];
    if (nonZeroEnd <= start) {
        return nonZeroEnd;
    }
    float copy[kGranuleLines];
    std::copy(lines + start, lines + kGranuleLines, copy + start);
    int newEnd = start;
    for (int band = firstBand; band < kShortBands; ++band) {
        const int bandStart = 3 * bounds[band];
        if (bandStart >= nonZeroEnd) {
            break;
        }
        const int width = bounds[band + 1] - bounds[band];
        for (int window = 0; window < 3; ++window) {
            const float* src = copy + bandStart + window * width;
            for (int k = 0; k < width; ++k) {
                lines[bandStart + 3 * k + window] = src[k];
            }
        }
        newEnd = 3 * bounds[band + 1];
    }
    return newEnd;
}

// 11172-3 2.4.3.4.9, alias reduction between subbands sb and sb + 1 for sb < boundaries.
void AliasReduce(float* lines, int boundaries) {
    const Layer3BuiltTables& t = Layer3Tables();
    for (int sb = 0; sb < boundaries; ++sb) {
        float* upper = lines + 18 * sb + 17;
        float* lower = lines + 18 * (sb + 1);
        for (int i = 0; i < 8; ++i) {
            const float a = upper[-i];
            const float b = lower[i];
            upper[-i] = a * t.aliasCs[static_cast<std::size_t>(i)] -
                        b * t.aliasCa[static_cast<std::size_t>(i)];
            lower[i] = b * t.aliasCs[static_cast<std::size_t>(i)] +
                       a * t.aliasCa[static_cast<std::size_t>(i)];
        }
    }
}

void LongSubband(const float* in, const float* window, float* overlap, float* out) {
    float x[36];
    Imdct36(in, x);
    for (int i = 0; i < 18; ++i) {
        out[i] = x[i] * window[i] + overlap[i];
        overlap[i] = x[18 + i] * window[18 + i];
    }
}

// The three 12-point transforms of a short subband, windowed and placed at 6, 12 and 18 of
// the 36-sample block.
void ShortSubband(const float* in, const float* window, float* overlap, float* out) {
    float z[36] = {};
    for (int w = 0; w < 3; ++w) {
        float x[12];
        Imdct12(in + w, 3, x);
        for (int i = 0; i < 12; ++i) {
            z[6 + 6 * w + i] += x[i] * window[i];
        }
    }
    for (int i = 0; i < 18; ++i) {
        out[i] = z[i] + overlap[i];
        overlap[i] = z[18 + i];
    }
}

} // namespace

void Layer3HybridFilter(Layer3Spectrum& spectrum, const Layer3GranuleInfo& granule, int version,
                        int rateRow, Layer3State& state, int channel, float (&out)[18][32]) {
    const Layer3BuiltTables& t = Layer3Tables();
    const std::int16_t* shortBounds = t.shortBounds[static_cast<std::size_t>(rateRow)].data();
    float* lines = spectrum.lines;
    int nonZeroEnd = spectrum.nonZeroEnd;

    const bool shortBlock = granule.blockType == Layer3BlockType::Short;
    int longSubbands = kSubbands;
    if (shortBlock) {
        longSubbands = granule.mixedBlock ? Layer3MixedLongLines(version, rateRow) / 18 : 0;
        nonZeroEnd = ReorderShort(lines, nonZeroEnd, shortBounds,
                                  granule.mixedBlock ? kMixedFirstShortBand : 0);
    }
    // The lines of the subbands above the limit are not decoded (in subband order, so that a
    // short block keeps all windows of the frequencies below it).
    if (nonZeroEnd > state.lineLimit) {
        std::fill(lines + state.lineLimit, lines + nonZeroEnd, 0.0f);
        nonZeroEnd = state.lineLimit;
    }

    int activeSubbands = (nonZeroEnd + 17) / 18;
    if (longSubbands > 0) {
        const int boundaries = std::min(activeSubbands, longSubbands - 1);
        AliasReduce(lines, boundaries);
        if (boundaries == activeSubbands && activeSubbands > 0) {
            ++activeSubbands;
        }
    }
    activeSubbands = std::min(activeSubbands, state.subbandLimit);

    float(&overlap)[32][18] = state.overlap[channel];
    const int overlapSubbands = state.overlapSubbands[channel];
    const float* longWindow =
        t.window[static_cast<std::size_t>(granule.mixedBlock ? 0
                                                             : static_cast<int>(granule.blockType))]
            .data();
    const float* shortWindow = t.window[2].data();
    float samples[18];
    for (int sb = 0; sb < kSubbands; ++sb) {
        if (sb < activeSubbands) {
            if (sb < longSubbands) {
                LongSubband(lines + 18 * sb, longWindow, overlap[sb], samples);
            } else {
                ShortSubband(lines + 18 * sb, shortWindow, overlap[sb], samples);
            }
        } else if (sb < overlapSubbands) {
            std::copy(overlap[sb], overlap[sb] + 18, samples);
            std::fill(overlap[sb], overlap[sb] + 18, 0.0f);
        } else {
            std::fill(samples, samples + 18, 0.0f);
        }
        // 2.4.3.4.10.4: odd subbands have every odd time sample negated.
        if (sb & 1) {
            for (int i = 1; i < 18; i += 2) {
                samples[i] = -samples[i];
            }
        }
        for (int i = 0; i < 18; ++i) {
            out[i][sb] = samples[i];
        }
    }
    state.overlapSubbands[channel] = activeSubbands;
}

} // namespace fz::mpa
