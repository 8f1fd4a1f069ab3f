#pragma once

namespace fz::mpa {

// The inverse modified cosine transforms of the Layer III hybrid filter bank (ISO/IEC 11172-3
// 2.4.3.4.10.2): x[i] = Σ_k X[k] cos(π / 2n (2i + 1 + n/2)(2k + 1)), i = 0..n−1, without the
// window. They use the tables of Layer3BuildTables.

// n = 36: 18 coefficients in, 36 samples out.
void Imdct36(const float* in, float* out);

// n = 12: 6 coefficients in[0], in[stride], ... in[5 stride]; 12 samples out.
void Imdct12(const float* in, int stride, float* out);

} // namespace fz::mpa
