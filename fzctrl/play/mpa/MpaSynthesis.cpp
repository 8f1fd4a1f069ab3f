#include "fzctrl/play/mpa/MpaSynthesis.h"

#include "fzctrl/play/mpa/MpaDecoderState.h"
#include "fzctrl/play/mpa/MpaSynthesisTables.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace fz::mpa {

namespace {

constexpr int DctFactorOffset(int n) {
    // Factors of size 32 start at 0, of 16 at 16, of 8 at 24, of 4 at 28, of 2 at 30.
    return n == 32 ? 0 : n == 16 ? 16 : n == 8 ? 24 : n == 4 ? 28 : 30;
}

// Unnormalised DCT-II, X[k] = sum over n of x[n] cos((2n + 1)kπ / 2N), by the even/odd split of
// B. G. Lee (1984): with g[n] = x[n] + x[N-1-n] and h[n] = (x[n] - x[N-1-n]) / (2 cos((2n+1)π/2N)),
// X[2k] = G[k] and X[2k+1] = H[k] + H[k+1] (H[N/2] = 0), G and H the half-size transforms.
template <int N>
inline void Dct(const float* x, float* out, const float* factors) {
    if constexpr (N == 1) {
        out[0] = x[0];
    } else {
        constexpr int kHalf = N / 2;
        const float* f = factors + DctFactorOffset(N);
        float g[kHalf], h[kHalf], even[kHalf], odd[kHalf];
        for (int n = 0; n < kHalf; ++n) {
            g[n] = x[n] + x[N - 1 - n];
            h[n] = (x[n] - x[N - 1 - n]) * f[n];
        }
        Dct<kHalf>(g, even, factors);
        Dct<kHalf>(h, odd, factors);
        for (int k = 0; k < kHalf - 1; ++k) {
            out[2 * k] = even[k];
            out[2 * k + 1] = odd[k] + odd[k + 1];
        }
        out[N - 2] = even[kHalf - 1];
        out[N - 1] = odd[kHalf - 1];
    }
}

} // namespace

void SynthesisBuildTables(SynthesisTables& tables) {
    for (int t = 0; t < 16; ++t)
        for (int j = 0; j < 32; ++j)
            tables.window[t][j] = static_cast<float>(SynthesisWindowTimes65536(32 * t + j)) * 0.5f;
    for (int n = 32; n >= 2; n /= 2)
        for (int i = 0; i < n / 2; ++i)
            tables.dctFactors[DctFactorOffset(n) + i] = static_cast<float>(
                1.0 / (2.0 * std::cos((2 * i + 1) * std::numbers::pi / (2.0 * n))));
}

void SynthesisReset(SynthesisState& state) {
    std::memset(state.history, 0, sizeof state.history);
    state.offset[0] = 0;
    state.offset[1] = 0;
}

// ISO/IEC 11172-3 A.2, Figure A.2: the matrixing V[i] = sum over k of cos((16 + i)(2k + 1)π/64)
// S[k] (i = 0..63) is the DCT-II X of S folded out: V[0..15] = X[16..31], V[16] = 0,
// V[17..31] = -X[31..17], V[32..47] = -X[16..1], V[48] = -X[0], V[49..63] = -X[1..15].
// Output j = sum over t = 0..15 of D[32t + j] times entry j (t even) or 32 + j (t odd) of the
// vector V that is t slots old; that is the standard's U/W construction without the copies.
void Synthesize(SynthesisState& state, int channel, const float subbands[32], std::int16_t* pcm,
                int stride) {
    const SynthesisTables& tables = DecoderState().tables.synthesis;
    float x[32];
    Dct<32>(subbands, x, tables.dctFactors);

    const int newest = (state.offset[channel] + 15) & 15;
    state.offset[channel] = newest;
    float* v = state.history[channel][newest];
    for (int j = 0; j < 16; ++j)
        v[j] = x[16 + j];
    v[16] = 0.0f;
    for (int j = 17; j < 32; ++j)
        v[j] = -x[48 - j];
    for (int j = 0; j < 16; ++j)
        v[32 + j] = -x[16 - j];
    v[48] = -x[0];
    for (int j = 17; j < 32; ++j)
        v[32 + j] = -x[j - 16];

    alignas(16) float sum[32] = {};
    for (int t = 0; t < 16; ++t) {
        const float* source = state.history[channel][(newest + t) & 15] + (t & 1) * 32;
        const float* window = tables.window[t];
        for (int j = 0; j < 32; ++j)
            sum[j] += window[j] * source[j];
    }
    // Limits and rounds to nearest (halves upwards): after limiting, s + 32768.5 is positive,
    // so truncation floors it. The operand order makes NaN give the lower limit.
    alignas(16) std::int32_t rounded[32];
    for (int j = 0; j < 32; ++j) {
        float s = -32768.0f < sum[j] ? sum[j] : -32768.0f;
        s = s < 32767.0f ? s : 32767.0f;
        rounded[j] = static_cast<std::int32_t>(s + 32768.5f) - 32768;
    }
    for (int j = 0; j < 32; ++j)
        pcm[j * stride] = static_cast<std::int16_t>(rounded[j]);
}

} // namespace fz::mpa
