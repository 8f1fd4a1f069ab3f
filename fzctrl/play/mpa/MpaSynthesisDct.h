#pragma once

namespace fz::mpa {

// Internal linkage: the x86 kernels instantiate the transform in files compiled for different
// instruction sets, and each must keep its own copy.
namespace {

// Factors of the DCT of size n start at SynthesisDctFactorOffset(n) in SynthesisTables::
// dctFactors: 32 at 0, 16 at 16, 8 at 24, 4 at 28, 2 at 30.
constexpr int SynthesisDctFactorOffset(int n) {
    return n == 32 ? 0 : n == 16 ? 16 : n == 8 ? 24 : n == 4 ? 28 : 30;
}

// Unnormalised DCT-II, X[k] = sum over n of x[n] cos((2n + 1)kπ / 2N), by the even/odd split of
// B. G. Lee (1984): with g[n] = x[n] + x[N-1-n] and h[n] = (x[n] - x[N-1-n]) / (2 cos((2n+1)π/2N)),
// X[2k] = G[k] and X[2k+1] = H[k] + H[k+1] (H[N/2] = 0), G and H the half-size transforms.
//
// T is float, or a vector of floats (GCC/Clang vector extension) to transform one time slot per
// lane; the operations and their order are the same in every lane, so each lane gives exactly
// what the scalar transform gives.
template <typename T, int N>
inline void SynthesisDct(const T* x, T* out, const float* factors) {
    if constexpr (N == 1) {
        out[0] = x[0];
    } else {
        constexpr int kHalf = N / 2;
        const float* f = factors + SynthesisDctFactorOffset(N);
        T g[kHalf], h[kHalf], even[kHalf], odd[kHalf];
        for (int n = 0; n < kHalf; ++n) {
            g[n] = x[n] + x[N - 1 - n];
            h[n] = (x[n] - x[N - 1 - n]) * f[n];
        }
        SynthesisDct<T, kHalf>(g, even, factors);
        SynthesisDct<T, kHalf>(h, odd, factors);
        for (int k = 0; k < kHalf - 1; ++k) {
            out[2 * k] = even[k];
            out[2 * k + 1] = odd[k] + odd[k + 1];
        }
        out[N - 2] = even[kHalf - 1];
        out[N - 1] = odd[kHalf - 1];
    }
}

} // namespace

} // namespace fz::mpa
