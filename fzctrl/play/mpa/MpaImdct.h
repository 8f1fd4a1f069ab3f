#pragma once

#include "fzctrl/play/mpa/MpaLayer3BuiltTables.h"

namespace fz::mpa {

// The inverse modified cosine transforms of the Layer III hybrid filter bank (ISO/IEC 11172-3
// 2.4.3.4.10.2): x[i] = Σ_k X[k] cos(π / 2n (2i + 1 + n/2)(2k + 1)), i = 0..n−1, without the
// window. They use the tables of Layer3BuildTables.

// n = 36: 18 coefficients in, 36 samples out.
void Imdct36(const float* in, float* out);

// n = 12: 6 coefficients in[0], in[stride], ... in[5 stride]; 12 samples out.
void Imdct12(const float* in, int stride, float* out);

// The 18 values from which the 36-point IMDCT's outputs follow: y[j] = x[j] for j < 9 and
// y[j] = x[j + 9] for j = 9..17; x[17 − i] = −x[i] for i < 9 and x[53 − i] = x[i] for
// i = 18..26 give the rest.
//
// Derivation. With 2i + 19 = 2m + 1, x[i] = Y[i + 9], where Y[m] = Σ_k X[k] cos(π/72 (2m + 1)
// (2k + 1)) is the 18-point DCT-IV; Y[35 − m] = −Y[m], so y[j] = Y[j + 9] (j < 9) and
// y[j] = −Y[17 − j] (j ≥ 9). The DCT-IV is the odd half of the 36-point DCT-II of the
// antisymmetric extension z (z[n] = X[n], z[35 − n] = −X[n]): that DCT-II at 2m + 1 is 2 Y[m].
// One step of B. G. Lee's split of the 36-point DCT-II has g = 0 and h[n] = 2 X[n] /
// (2 cos((2n + 1)π/72)), so 2 Y[m] = H[m] + H[m + 1] with H the 18-point DCT-II of h (H[18] =
// 0). One more Lee step splits H into two 9-point DCT-IIs, each folded around its middle input
// (cos((17 − 2n) k π/18) = (−1)^k cos((2n + 1) k π/18)). That is 18 + 27 + 2 × 38 + 25 operations
// instead of 18 × 18 products.
//
// T is float or a vector of floats (GCC/Clang vector extension) holding one subband per lane.
template <typename T>
inline void Imdct36Core(const T* in, T* y, const Layer3BuiltTables& t) {
    T u[18];
    for (int k = 0; k < 18; ++k) {
        u[k] = in[k] * t.imdctPre[static_cast<std::size_t>(k)];
    }
    // Lee: the even half g and the odd half h of the 18-point DCT-II of u.
    T halves[2][9];
    for (int n = 0; n < 9; ++n) {
        halves[0][n] = u[n] + u[17 - n];
        halves[1][n] = (u[n] - u[17 - n]) * t.imdctLee[static_cast<std::size_t>(n)];
    }
    T transformed[2][9];
    for (int half = 0; half < 2; ++half) {
        const T* g = halves[half];
        T sum[4], difference[4];
        for (int n = 0; n < 4; ++n) {
            sum[n] = g[n] + g[8 - n];
            difference[n] = g[n] - g[8 - n];
        }
        for (int k = 0; k < 9; ++k) {
            const auto& c = t.imdctCos9[static_cast<std::size_t>(k)];
            const T* folded = (k & 1) != 0 ? difference : sum;
            T value = folded[0] * c[0] + folded[1] * c[1] + folded[2] * c[2] + folded[3] * c[3];
            // The middle input counts with cos(k π/2): 1, 0, −1, 0, ...
            if ((k & 1) == 0) {
                value = (k & 2) != 0 ? value - g[4] : value + g[4];
            }
            transformed[half][k] = value;
        }
    }
    T h[18];
    for (int k = 0; k < 9; ++k) {
        h[2 * k] = transformed[0][k];
        h[2 * k + 1] = k < 8 ? transformed[1][k] + transformed[1][k + 1] : transformed[1][8];
    }
    for (int j = 0; j < 8; ++j) {
        y[j] = h[j + 9] + h[j + 10];
    }
    y[8] = h[17];
    for (int j = 9; j < 18; ++j) {
        y[j] = -(h[17 - j] + h[18 - j]);
    }
}

} // namespace fz::mpa
