#include "fzctrl/play/mpa/MpaLayer3.h"

#include "fzctrl/play/mpa/MpaBitReader.h"
#include "fzctrl/play/mpa/MpaHuffman.h"
#include "fzctrl/play/mpa/MpaLayer3BuiltTables.h"
#include "fzctrl/play/mpa/MpaLayer3Hybrid.h"
#include "fzctrl/play/mpa/MpaLayer3Requantize.h"
#include "fzctrl/play/mpa/MpaLayer3Reservoir.h"
#include "fzctrl/play/mpa/MpaLayer3ScaleFactors.h"
#include "fzctrl/play/mpa/MpaLayer3SideInfo.h"
#include "fzctrl/play/mpa/MpaLayer3State.h"
#include "fzctrl/play/mpa/MpaLayer3Stereo.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace fz::mpa {

namespace {

Layer3BuiltTables g_layer3Tables;

constexpr int kModeJointStereo = 1;
constexpr int kModeSingleChannel = 3;

void BuildBandBounds(Layer3BuiltTables& t) {
    for (int row = 0; row < kSampleRateRows; ++row) {
        const auto r = static_cast<std::size_t>(row);
        t.longBounds[r][0] = 0;
        for (std::size_t b = 0; b < kLongBands; ++b) {
            t.longBounds[r][b + 1] =
                static_cast<std::int16_t>(t.longBounds[r][b] + kLongBandWidths[r][b]);
        }
        t.shortBounds[r][0] = 0;
        for (std::size_t b = 0; b < kShortBands; ++b) {
            t.shortBounds[r][b + 1] =
                static_cast<std::int16_t>(t.shortBounds[r][b] + kShortBandWidths[r][b]);
        }
    }
}

void BuildTransforms(Layer3BuiltTables& t) {
    const double pi = std::numbers::pi;
    for (std::size_t k = 0; k < 18; ++k) {
        t.imdctPre[k] = static_cast<float>(0.5 / std::cos(pi / 72.0 * (2.0 * k + 1)));
    }
    for (std::size_t n = 0; n < 9; ++n) {
        t.imdctLee[n] = static_cast<float>(0.5 / std::cos(pi / 36.0 * (2.0 * n + 1)));
        for (std::size_t m = 0; m < 4; ++m) {
            t.imdctCos9[n][m] = static_cast<float>(std::cos(pi / 18.0 * (2.0 * m + 1) * n));
        }
    }
    for (int j = 0; j < 6; ++j) {
        const int i = j < 3 ? j : j + 3;
        for (int k = 0; k < 6; ++k) {
            t.imdctShort[static_cast<std::size_t>(j)][static_cast<std::size_t>(k)] =
                static_cast<float>(std::cos(pi / 24.0 * (2 * i + 7) * (2 * k + 1)));
        }
    }
    // 11172-3 2.4.3.4.10.3, the windows of block types 0 (normal), 1 (start), 2 (short, 12
    // points) and 3 (stop).
    auto longSine = [&](int i) { return std::sin(pi / 36.0 * (i + 0.5)); };
    auto shortSine = [&](int i) { return std::sin(pi / 12.0 * (i + 0.5)); };
    for (int i = 0; i < 36; ++i) {
        const auto n = static_cast<std::size_t>(i);
        t.window[0][n] = static_cast<float>(longSine(i));
        double start = i < 18 ? longSine(i) : i < 24 ? 1.0 : i < 30 ? shortSine(i - 18) : 0.0;
        double stop = i < 6 ? 0.0 : i < 12 ? shortSine(i - 6) : i < 18 ? 1.0 : longSine(i);
        t.window[1][n] = static_cast<float>(start);
        t.window[3][n] = static_cast<float>(stop);
        t.window[2][n] = i < 12 ? static_cast<float>(shortSine(i)) : 0.0f;
    }
    for (std::size_t i = 0; i < kAliasCi.size(); ++i) {
        const double root = std::sqrt(1.0 + kAliasCi[i] * kAliasCi[i]);
        t.aliasCs[i] = static_cast<float>(1.0 / root);
        t.aliasCa[i] = static_cast<float>(kAliasCi[i] / root);
    }
}

void BuildQuantizer(Layer3BuiltTables& t) {
    for (int i = 0; i < Layer3BuiltTables::kPow43Size; ++i) {
        t.pow43[static_cast<std::size_t>(i)] = static_cast<float>(std::pow(double(i), 4.0 / 3.0));
    }
    for (int v = -Layer3BuiltTables::kSmallPow43; v <= Layer3BuiltTables::kSmallPow43; ++v) {
        const float magnitude = t.pow43[static_cast<std::size_t>(v < 0 ? -v : v)];
        t.pow43Signed[static_cast<std::size_t>(v + Layer3BuiltTables::kSmallPow43)] =
            v < 0 ? -magnitude : magnitude;
    }
    for (int i = 0; i < Layer3BuiltTables::kGainSize; ++i) {
        t.gain[static_cast<std::size_t>(i)] =
            static_cast<float>(std::exp2((i + Layer3BuiltTables::kGainMin) / 4.0));
    }
    // 11172-3 2.4.3.4.9.3: ratio tan(p π / 12), L = ratio / (1 + ratio), R = 1 / (1 + ratio),
    // written with sine and cosine so that p = 6 stays finite.
    for (int p = 0; p < 7; ++p) {
        const double angle = p * std::numbers::pi / 12.0;
        const double sum = std::sin(angle) + std::cos(angle);
        t.intensityMpeg1[static_cast<std::size_t>(p)] = {static_cast<float>(std::sin(angle) / sum),
                                                         static_cast<float>(std::cos(angle) / sum)};
    }
    // 13818-3 2.4.3.2: io = 2^(−1/4) (intensity_scale 0) or 2^(−1/2); odd positions scale the
    // left channel by io^((p + 1) / 2), even ones the right by io^(p / 2).
    for (int scale = 0; scale < 2; ++scale) {
        const double io = scale == 0 ? std::exp2(-0.25) : std::exp2(-0.5);
        for (int p = 0; p < 32; ++p) {
            double left = 1.0;
            double right = 1.0;
            if (p & 1) {
                left = std::pow(io, (p + 1) / 2);
            } else {
                right = std::pow(io, p / 2);
            }
            t.intensityLsf[static_cast<std::size_t>(scale)][static_cast<std::size_t>(p)] = {
                static_cast<float>(left), static_cast<float>(right)};
        }
    }
}

// Scale factors and Huffman data of one granule of one channel, requantised.
void DecodeChannel(MpaBitReader& bits, int part2Start, const Layer3GranuleInfo& granule,
                   const MpaFrameHeader& header, int scfsi, int granuleIndex, int channel,
                   int rateRow, Layer3ScaleFactors& sf, Layer3Spectrum& spectrum) {
    const int part3End = part2Start + granule.part23Length;
    if (!granule.valid) {
        std::fill(std::begin(spectrum.lines), std::end(spectrum.lines), 0.0f);
        spectrum.nonZeroEnd = 0;
        return;
    }
    bits.Seek(part2Start);
    Layer3GranuleInfo g = granule;
    if (header.version == 1) {
        Layer3ReadScaleFactorsMpeg1(bits, g, scfsi, granuleIndex, sf);
    } else {
        const bool intensityRight =
            channel == 1 && header.mode == kModeJointStereo && (header.modeExtension & 1) != 0;
        g.preflag = Layer3ReadScaleFactorsLsf(
            bits, g, intensityRight ? Layer3LsfChannel::IntensityRight : Layer3LsfChannel::Normal,
            sf);
    }
    int values[kGranuleLines];
    int nonZeroEnd = 0;
    if (bits.Position() <= part3End) {
        nonZeroEnd = HuffmanDecodeGranule(bits, g, part3End, values);
    }
    // Scale factors that overran part2_3_length leave nothing to decode.
    Layer3Requantize(values, nonZeroEnd, g, sf, header.version, rateRow, spectrum);
}

} // namespace

const Layer3BuiltTables& Layer3Tables() {
    return g_layer3Tables;
}

void Layer3BuildTables() {
    BuildBandBounds(g_layer3Tables);
    BuildTransforms(g_layer3Tables);
    BuildQuantizer(g_layer3Tables);
    HuffmanBuildDecodeTables(g_layer3Tables.huffman);
}

void Layer3Reset(Layer3State& state, int lineLimit) {
    std::fill(std::begin(state.reservoir), std::end(state.reservoir), std::uint8_t{0});
    state.reservoirSize = 0;
    for (auto& channel : state.overlap) {
        for (auto& subband : channel) {
            std::fill(std::begin(subband), std::end(subband), 0.0f);
        }
    }
    state.overlapSubbands[0] = state.overlapSubbands[1] = 0;
    state.granuleIndex = 0;
    state.lineLimit = std::clamp(lineLimit / 18, 0, 32) * 18;
    state.subbandLimit = state.lineLimit / 18;
}

Layer3Result Layer3DecodeFrame(Layer3State& state, const MpaFrameHeader& header,
                               const std::uint8_t* frame, int frameSize, Layer3Output& out,
                               int& granuleCount) {
    granuleCount = 0;
    if (header.version < 1 || header.version > 3 || header.sampleRateIndex < 0 ||
        header.sampleRateIndex > 2) {
        return Layer3Result::NoMainData;
    }
    const int channels = header.mode == kModeSingleChannel ? 1 : 2;
    const int rateRow = SampleRateRow(header.version, header.sampleRateIndex);
    const int sideStart = 4 + (header.crc != 0 ? 2 : 0);
    const int sideBytes = Layer3SideInfoBytes(header.version, channels);
    if (frame == nullptr || frameSize < sideStart + sideBytes) {
        return Layer3Result::NoMainData;
    }

    Layer3SideInfo info;
    const int granules =
        Layer3ParseSideInfo(frame + sideStart, header.version, channels, rateRow, info);
    if (header.version != 1) {
        state.granuleIndex ^= 1;
    }
    const int mainStart =
        Layer3ReservoirAppend(state, frame + sideStart + sideBytes,
                              frameSize - sideStart - sideBytes, info.mainDataBegin);
    if (mainStart < 0) {
        return Layer3Result::NoMainData;
    }

    MpaBitReader bits(state.reservoir, state.reservoirSize * 8);
    Layer3ScaleFactors sf[2] = {};
    Layer3Spectrum spectrum[2];
    int part2Start = mainStart * 8;
    for (int gr = 0; gr < granules; ++gr) {
        for (int ch = 0; ch < channels; ++ch) {
            const Layer3GranuleInfo& granule = info.granule[gr][ch];
            DecodeChannel(bits, part2Start, granule, header, info.scfsi[ch], gr, ch, rateRow,
                          sf[ch], spectrum[ch]);
            part2Start += granule.part23Length;
        }
        if (channels == 2 && header.mode == kModeJointStereo && header.modeExtension != 0) {
            Layer3ApplyStereo(spectrum[0], spectrum[1], info.granule[gr][1], sf[1],
                              header.modeExtension, header.version, rateRow);
        }
        for (int ch = 0; ch < channels; ++ch) {
            Layer3HybridFilter(spectrum[ch], info.granule[gr][ch], header.version, rateRow, state,
                               ch, out[ch][gr]);
        }
    }
    granuleCount = granules;
    return Layer3Result::Decoded;
}

} // namespace fz::mpa
