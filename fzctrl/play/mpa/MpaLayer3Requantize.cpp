#include "fzctrl/play/mpa/MpaLayer3Requantize.h"

#include "fzctrl/play/mpa/MpaLayer3BuiltTables.h"

#include <algorithm>

namespace fz::mpa {

namespace {

float Gain(int quarterSteps) {
    const Layer3BuiltTables& t = Layer3Tables();
    int index =
        std::clamp(quarterSteps - Layer3BuiltTables::kGainMin, 0, Layer3BuiltTables::kGainSize - 1);
    return t.gain[static_cast<std::size_t>(index)];
}

// Values of magnitude up to kSmallPow43 come from a signed table (the common case, no sign or
// magnitude handling); the rest from the full table.
void Scale(const int* values, float* out, int count, float gain) {
    const Layer3BuiltTables& t = Layer3Tables();
    const float* small = t.pow43Signed.data() + Layer3BuiltTables::kSmallPow43;
    for (int i = 0; i < count; ++i) {
        const int v = values[i];
        if (static_cast<unsigned>(v + Layer3BuiltTables::kSmallPow43) <=
            2u * Layer3BuiltTables::kSmallPow43) {
            out[i] = small[v] * gain;
        } else {
            const int magnitude = std::min(v < 0 ? -v : v, Layer3BuiltTables::kPow43Size - 1);
            const float x = t.pow43[static_cast<std::size_t>(magnitude)] * gain;
            out[i] = v < 0 ? -x : x;
        }
    }
}

} // namespace

int Layer3MixedLongLines(int version, int rateRow) {
    const int longBands = version == 1 ? kMixedLongBandsMpeg1 : kMixedLongBandsLsf;
    return Layer3Tables()
        .longBounds[static_cast<std::size_t>(rateRow)][static_cast<std::size_t>(longBands)];
}

void Layer3Requantize(const int (&values)[576], int nonZeroEnd, const Layer3GranuleInfo& granule,
                      const Layer3ScaleFactors& sf, int version, int rateRow,
                      Layer3Spectrum& spectrum) {
    const auto& longBounds = Layer3Tables().longBounds[static_cast<std::size_t>(rateRow)];
    const auto& shortBounds = Layer3Tables().shortBounds[static_cast<std::size_t>(rateRow)];
    const int end = std::clamp(nonZeroEnd, 0, kGranuleLines);
    const int global = granule.globalGain - 210;
    const int shift = 1 + granule.scalefacScale;
    spectrum.nonZeroEnd = end;

    int longEnd = kGranuleLines;
    int firstShort = kShortBands;
    if (granule.blockType == Layer3BlockType::Short) {
        longEnd = granule.mixedBlock ? Layer3MixedLongLines(version, rateRow) : 0;
        firstShort = granule.mixedBlock ? kMixedFirstShortBand : 0;
    }

    int line = 0;
    for (int band = 0; band < kLongBands && line < std::min(end, longEnd); ++band) {
        const int bandEnd = std::min(
            {static_cast<int>(longBounds[static_cast<std::size_t>(band) + 1]), end, longEnd});
        const int pre = granule.preflag ? kPretab[static_cast<std::size_t>(band)] : 0;
        const float gain = Gain(global - ((sf.longBands[band] + pre) << shift));
        Scale(values + line, spectrum.lines + line, bandEnd - line, gain);
        line = bandEnd;
    }
    for (int band = firstShort; band < kShortBands && line < end; ++band) {
        const int width = shortBounds[static_cast<std::size_t>(band) + 1] -
                          shortBounds[static_cast<std::size_t>(band)];
        for (int window = 0; window < 3 && line < end; ++window) {
            const int count = std::min(width, end - line);
            const float gain = Gain(global - 8 * granule.subblockGain[window] -
                                    (sf.shortBands[band][window] << shift));
            Scale(values + line, spectrum.lines + line, count, gain);
            line += count;
        }
    }
    std::fill(spectrum.lines + line, spectrum.lines + kGranuleLines, 0.0f);
}

} // namespace fz::mpa
