#include "fzctrl/play/mpa/MpaSynthesis.h"

#include "fzctrl/play/mpa/MpaDecoderState.h"
#include "fzctrl/play/mpa/MpaSynthesisDct.h"
#include "fzctrl/play/mpa/MpaSynthesisKernels.h"
#include "fzctrl/play/mpa/MpaSynthesisTables.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace fz::mpa {

// ISO/IEC 11172-3 A.2, Figure A.2: the matrixing V[i] = sum over k of cos((16 + i)(2k + 1)π/64)
// S[k] (i = 0..63) is the DCT-II X of S folded out: V[0..15] = X[16..31], V[16] = 0,
// V[17..31] = -X[31..17], V[32..47] = -X[16..1], V[48] = -X[0], V[49..63] = -X[1..15].
// Output j is the sum over t = 0..15 of D[32t + j] times entry j (t even) or 32 + j (t odd) of
// the vector V that is t slots old (the standard's U/W construction without the copies).
//
// With a[j] = X[16 + j] and b[j] = X[16 - j] (j = 0..15) of that slot, the entries read are:
//   output j < 16:       t even: V[j] = a[j];           t odd: V[32 + j] = -b[j];
//   output 32 - j > 16:  t even: V[32 - j] = -a[j];     t odd: V[64 - j] = -b[j];
//   output 16:           t even: V[16] = 0;             t odd: V[48] = -X[0].
// So outputs j and 32 - j read the same value of each slot, a (t even) or b (t odd), and only
// these 32 values plus X[0] are kept. The signs go into the window (SynthesisTables::low, high,
// middle); negating a factor instead of a value changes no rounding, so the sums are those of
// the unfolded procedure.
void SynthesisBuildTables(SynthesisTables& tables) {
    for (int t = 0; t < 16; ++t)
        for (int j = 0; j < 32; ++j)
            tables.window[t][j] = static_cast<float>(SynthesisWindowTimes65536(32 * t + j)) * 0.5f;
    for (int t = 0; t < 16; ++t) {
        const bool odd = (t & 1) != 0;
        for (int j = 0; j < 16; ++j) {
            tables.low[t][j] = odd ? -tables.window[t][j] : tables.window[t][j];
            tables.high[t][j] = j == 0 ? 0.0f : -tables.window[t][32 - j];
        }
        tables.middle[t] = odd ? -tables.window[t][16] : 0.0f;
    }
    for (int n = 32; n >= 2; n /= 2)
        for (int i = 0; i < n / 2; ++i)
            tables.dctFactors[SynthesisDctFactorOffset(n) + i] = static_cast<float>(
                1.0 / (2.0 * std::cos((2 * i + 1) * std::numbers::pi / (2.0 * n))));
}

void SynthesisReset(SynthesisState& state) {
    std::memset(state.history, 0, sizeof state.history);
    std::memset(state.first, 0, sizeof state.first);
    state.offset[0] = 0;
    state.offset[1] = 0;
}

void SynthesizeSlots(SynthesisState& state, int channel, const float (*subbands)[32], int slots,
                     std::int16_t* pcm, int stride) {
    SelectedSynthesisKernel().synthesize(state, channel, subbands, slots, pcm, stride,
                                         DecoderState().tables.synthesis);
}

void Synthesize(SynthesisState& state, int channel, const float subbands[32], std::int16_t* pcm,
                int stride) {
    SynthesizeSlots(state, channel, reinterpret_cast<const float(*)[32]>(subbands), 1, pcm, stride);
}

namespace {

// Limits and rounds to nearest (halves upwards): after limiting, s + 32768.5 is positive, so
// truncation floors it. The operand order makes NaN give the lower limit.
std::int16_t Limit(float sum) {
    float s = -32768.0f < sum ? sum : -32768.0f;
    s = s < 32767.0f ? s : 32767.0f;
    return static_cast<std::int16_t>(static_cast<std::int32_t>(s + 32768.5f) - 32768);
}

void PortableSynthesize(SynthesisState& state, int channel, const float (*subbands)[32], int slots,
                        std::int16_t* pcm, int stride, const SynthesisTables& tables) {
    constexpr int kMask = SynthesisState::kRing - 1;
    for (int slot = 0; slot < slots; ++slot, pcm += 32 * stride) {
        float x[32];
        SynthesisDct<float, 32>(subbands[slot], x, tables.dctFactors);
        const int newest = (state.offset[channel] + kMask) & kMask;
        state.offset[channel] = newest;
        float* kept = state.history[channel][newest];
        for (int j = 0; j < 16; ++j) {
            kept[j] = x[16 + j];
            kept[16 + j] = x[16 - j];
        }
        state.first[channel][newest] = x[0];

        float low[16] = {}, high[16] = {}, middle = 0.0f;
        for (int t = 0; t < 16; ++t) {
            const int index = (newest + t) & kMask;
            const float* value = state.history[channel][index] + (t & 1) * 16;
            for (int j = 0; j < 16; ++j) {
                low[j] += tables.low[t][j] * value[j];
                high[j] += tables.high[t][j] * value[j];
            }
            middle += tables.middle[t] * state.first[channel][index];
        }
        for (int j = 0; j < 16; ++j)
            pcm[j * stride] = Limit(low[j]);
        pcm[16 * stride] = Limit(middle);
        for (int j = 1; j < 16; ++j)
            pcm[(32 - j) * stride] = Limit(high[j]);
    }
}

const SynthesisKernel kPortable = {"portable", PortableSynthesize};

} // namespace

const SynthesisKernel& PortableSynthesisKernel() {
    return kPortable;
}

} // namespace fz::mpa
