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

// The long subbands sb0 .. sb0 + kGroup - 1 with one window: the 36-point IMDCT, the window
// and the overlap-add of ISO/IEC 11172-3 2.4.3.4.10, one subband per lane of a vector (GCC/Clang
// vector extension: SIMD where the target has it, scalar code elsewhere). Per subband the
// operations and their order are those of Imdct36 followed by the window, so the result is the
// same as transforming one subband at a time.
constexpr int kGroup = 8;
constexpr int kLanes = 4;
using Lanes = float __attribute__((vector_size(kLanes * sizeof(float))));

void LongGroup(const float* lines, int sb0, const float* window, float (&overlap)[32][18],
               float (&out)[18][32]) {
    // in[h][k] holds line k of subbands sb0 + 4h .. sb0 + 4h + 3.
    Lanes in[2][18];
    for (int k = 0; k < 18; ++k) {
        for (int h = 0; h < 2; ++h) {
            const float* line = lines + 18 * (sb0 + kLanes * h) + k;
            in[h][k] = Lanes{line[0], line[18], line[36], line[54]};
        }
    }
    Lanes y[2][18];
    for (int h = 0; h < 2; ++h) {
        Imdct36Core(in[h], y[h], Layer3Tables());
    }
    // x[i] = y[i], x[17 - i] = -y[i] (i < 9); x[i] = y[i - 9], x[53 - i] = y[i - 9] (i = 18..26).
    // 2.4.3.4.10.4: odd subbands (odd lanes, as sb0 is even) have every odd time sample negated;
    // the window factors carry both signs.
    const Lanes even = {1.0f, 1.0f, 1.0f, 1.0f};
    const Lanes odd = {1.0f, -1.0f, 1.0f, -1.0f};
    for (int i = 0; i < 18; ++i) {
        const int firstIndex = i < 9 ? i : 17 - i;
        const int secondIndex = i < 9 ? i + 9 : 26 - i;
        const Lanes inversion = (i & 1) != 0 ? odd : even;
        const Lanes wFirst = (i < 9 ? window[i] : -window[i]) * inversion;
        for (int h = 0; h < 2; ++h) {
            float(*keep)[18] = overlap + sb0 + kLanes * h;
            const Lanes kept = {keep[0][i], keep[1][i], keep[2][i], keep[3][i]};
            const Lanes sample = y[h][firstIndex] * wFirst + kept * inversion;
            const Lanes next = y[h][secondIndex] * window[18 + i];
            __builtin_memcpy(out[i] + sb0 + kLanes * h, &sample, sizeof sample);
            for (int l = 0; l < kLanes; ++l) {
                keep[l][i] = next[l];
            }
        }
    }
}

// One long subband (below the short subbands of a mixed block).
void LongSubband(const float* in, const float* window, float (&overlap)[32][18], int sb,
                 float* samples) {
    float x[36];
    Imdct36(in, x);
    for (int i = 0; i < 18; ++i) {
        samples[i] = x[i] * window[i] + overlap[sb][i];
        overlap[sb][i] = x[18 + i] * window[18 + i];
    }
}

// The three 12-point transforms of a short subband, windowed and placed at 6, 12 and 18 of
// the 36-sample block.
void ShortSubband(const float* in, const float* window, float (&overlap)[32][18], int sb,
                  float* samples) {
    float z[36] = {};
    for (int w = 0; w < 3; ++w) {
        float x[12];
        Imdct12(in + w, 3, x);
        for (int i = 0; i < 12; ++i) {
            z[6 + 6 * w + i] += x[i] * window[i];
        }
    }
    for (int i = 0; i < 18; ++i) {
        samples[i] = z[i] + overlap[sb][i];
        overlap[sb][i] = z[18 + i];
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
    // The alias butterflies of the last boundary may have reached the subband above the limit.
    if (activeSubbands < kSubbands) {
        std::fill(lines + 18 * activeSubbands, lines + 18 * (activeSubbands + 1), 0.0f);
    }

    float(&overlap)[32][18] = state.overlap[channel];
    const int usedSubbands = std::max(activeSubbands, state.overlapSubbands[channel]);
    const float* longWindow =
        t.window[static_cast<std::size_t>(granule.mixedBlock ? 0
                                                             : static_cast<int>(granule.blockType))]
            .data();
    const float* shortWindow = t.window[2].data();
    // Above the active subbands the lines are zero: a transform gives zero, so the output is the
    // overlap and the overlap becomes zero, the same as skipping it. Groups above every subband
    // in use give silence.
    for (int sb0 = 0; sb0 < kSubbands; sb0 += kGroup) {
        if (sb0 >= usedSubbands) {
            for (int i = 0; i < 18; ++i) {
                std::fill(out[i] + sb0, out[i] + sb0 + kGroup, 0.0f);
            }
        } else if (sb0 + kGroup <= longSubbands) {
            LongGroup(lines, sb0, longWindow, overlap, out);
        } else {
            for (int sb = sb0; sb < sb0 + kGroup; ++sb) {
                float samples[18];
                if (sb < longSubbands) {
                    LongSubband(lines + 18 * sb, longWindow, overlap, sb, samples);
                } else {
                    ShortSubband(lines + 18 * sb, shortWindow, overlap, sb, samples);
                }
                for (int i = 0; i < 18; ++i) {
                    out[i][sb] = (i & sb & 1) != 0 ? -samples[i] : samples[i];
                }
            }
        }
    }
    state.overlapSubbands[channel] = activeSubbands;
}

} // namespace fz::mpa
