#include "fzctrl/convert/Resampler.h"

#include "fzctrl/convert/ResamplerTables.h"

#include <algorithm>
#include <cstring>

namespace fz {
namespace {

constexpr std::uint64_t kOneQ24 = std::uint64_t{1} << 24;
constexpr std::uint32_t kOneQ20 = std::uint32_t{1} << 20;
constexpr std::uint32_t kPhaseMask = kOneQ20 - 1;
// Table positions are Q12 entries: 2^12 steps between neighbouring coefficients.
constexpr int kTablePositionBits = 12;
constexpr std::uint32_t kTableFractionMask = (1u << kTablePositionBits) - 1;
constexpr int kMaxBlockLength = 1944;
constexpr int kUnityGain = 4096;
// With a down-sampling ratio r each wing spans 6 / r input samples and Xoff = 7 / r + 10
// covers it; 6564 makes the filter's gain for a constant signal about 0.89.
constexpr std::uint32_t kBaseScale = 6564;
constexpr int kFilterZeroCrossings = 13;

std::int16_t Saturate(std::int64_t value) {
    return static_cast<std::int16_t>(std::clamp<std::int64_t>(value, -32768, 32767));
}

// One tap: the coefficient at Q12 table position t, interpolated linearly between entries
// (4 h[k] plus delta[k] x fraction, in units of h / 4), times the history sample, in 64 bits.
std::int64_t Tap(std::int64_t sample, std::uint32_t t, const std::int16_t* table,
                 const std::int16_t* deltas) {
    const std::uint32_t k = t >> kTablePositionBits;
    const std::int64_t fraction = static_cast<std::int64_t>(t & kTableFractionMask) << 6;
    const std::int64_t coefficient = 4 * std::int64_t{table[k]} + ((deltas[k] * fraction) >> 16);
    return (sample * coefficient) >> 16;
}

void ApplyGainOnly(const std::int16_t* input, std::int16_t* output, int count, int gain) {
    if (gain == kUnityGain) {
        if (output != input)
            std::memmove(output, input, static_cast<std::size_t>(count) * sizeof(std::int16_t));
        return;
    }
    for (int n = 0; n < count; ++n)
        output[n] = Saturate((std::int64_t{gain} * input[n]) >> 12);
}

} // namespace

int ResamplerSize(ResamplerState* state) {
    if (state != nullptr)
        std::memset(static_cast<void*>(state), 0, sizeof(ResamplerState));
    return static_cast<int>(sizeof(ResamplerState));
}

int ResamplerSetup(ResamplerState* state, int inputRate, int outputRate, int channels) {
    if (inputRate <= 0 || outputRate <= 0 || channels != 1)
        return -1;
    const std::uint64_t ratio = (std::uint64_t(outputRate) << 24) / std::uint64_t(inputRate);
    const std::uint64_t inverse = (std::uint64_t(inputRate) << 24) / std::uint64_t(outputRate);
    const std::uint64_t offset = (7 * std::max(inverse, kOneQ24)) / kOneQ24 + 10;
    // Both ratios must fit their 32-bit fields, and the carried history (2 Xoff) must leave
    // room for input in the 2048-sample history.
    if (ratio > 0xFFFFFFFFu || inverse > 0xFFFFFFFFu || ratio == 0 || inverse == 0 ||
        2 * offset >= kResamplerHistoryLength)
        return -1;

    state->inputRate = inputRate;
    state->outputRate = outputRate;
    state->blockLength = 0;
    state->produced = 0;
    state->channels = channels;
    state->gain = kUnityGain;
    state->filter = &state->filterState;

    ResamplerFilterState& f = state->filterState;
    f.ratio = static_cast<std::uint32_t>(ratio);
    f.timeStep = static_cast<std::uint32_t>((inverse + 8) >> 4);
    // Q24 -> Q20 rounded; a ratio above 1.0 (up-sampling) steps the table at the unit rate.
    f.tableStep = ((ratio + 8) & ~std::uint64_t{15}) <= kOneQ24
                      ? static_cast<std::uint32_t>((ratio + 8) >> 4)
                      : kOneQ20;
    f.baseScale = static_cast<std::uint16_t>(
        ratio < kOneQ24 ? (ratio * kBaseScale + (kOneQ24 >> 1)) >> 24 : kBaseScale);
    f.scale = f.baseScale;
    f.wingLength = static_cast<std::uint16_t>(kResamplerWingLength);
    f.filterLength = kFilterZeroCrossings;
    f.offset = static_cast<std::uint16_t>(offset);
    f.kept = static_cast<std::uint16_t>(2 * offset);
    f.table = kResamplerCoefficients.data();
    f.deltaTable = kResamplerDeltas.data();
    f.time = static_cast<std::uint32_t>(offset) << 20;
    std::fill_n(f.history[0], f.kept, std::int16_t{0});
    return 0;
}

int ResamplerProcess(ResamplerState* state, const std::int16_t* input, std::int16_t* output,
                     int count, int gainIndex) {
    const int gain = kResamplerGains[static_cast<std::size_t>(
        std::clamp(gainIndex, kResamplerMinGainIndex, kResamplerMaxGainIndex) -
        kResamplerMinGainIndex)];
    ResamplerFilterState& f = state->filterState;
    f.scale = static_cast<std::uint16_t>((std::uint32_t{f.baseScale} * gain + 2048) >> 12);
    state->gain = gain;
    state->blockLength = count;
    state->produced = -1;
    if (count < 0)
        return -1;

    if (state->inputRate == state->outputRate) {
        ApplyGainOnly(input, output, count, gain);
        state->produced = count;
        return count;
    }

    const int offset = f.offset;
    const int kept = f.kept;
    if (count > kMaxBlockLength || count + kept > kResamplerHistoryLength)
        return -1;

    std::int16_t* history = f.history[0];
    std::memcpy(history + kept, input, static_cast<std::size_t>(count) * sizeof(std::int16_t));

    const std::uint32_t tableStep = f.tableStep;
    const std::uint32_t wingEnd = std::uint32_t{f.wingLength} << kTablePositionBits;
    // Down-sampling leaves out the right wing's last entry.
    const std::uint32_t rightWingEnd =
        (f.ratio < kOneQ24 ? f.wingLength - 1u : std::uint32_t{f.wingLength}) << kTablePositionBits;
    const std::uint32_t end = static_cast<std::uint32_t>(count + offset) << 20;
    // The loop keeps time in [Xoff, count + Xoff) and each wing spans fewer than Xoff samples,
    // so the taps stay in history[0 .. count + kept); the index checks below only make that
    // independent of the arithmetic.
    const int last = count + kept - 1;

    int produced = 0;
    std::uint32_t time = f.time;
    while (time < end) {
        const int i = static_cast<int>(time >> 20);
        const std::uint32_t phase = time & kPhaseMask;
        std::int64_t sum = 0;

        std::uint32_t t = static_cast<std::uint32_t>((std::uint64_t{phase} * tableStep) >> 20);
        for (int j = 0; t < wingEnd && j <= i; ++j, t += tableStep)
            sum += Tap(history[i - j], t, f.table, f.deltaTable);

        t = static_cast<std::uint32_t>(
            (std::uint64_t{(kOneQ20 - phase) & kPhaseMask} * tableStep) >> 20);
        if (phase == 0)
            t += tableStep;
        for (int j = 1; t < rightWingEnd && i + j <= last; ++j, t += tableStep)
            sum += Tap(history[i + j], t, f.table, f.deltaTable);

        output[produced++] = Saturate(((sum * 4) * f.scale) >> 16);
        time += f.timeStep;
    }

    f.time = time - (static_cast<std::uint32_t>(count) << 20);
    std::memmove(history, history + count, static_cast<std::size_t>(kept) * sizeof(std::int16_t));
    state->produced = produced;
    return produced;
}

} // namespace fz
