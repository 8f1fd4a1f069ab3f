#include "fzctrl/play/mpa/MpaImdct.h"

#include "fzctrl/play/mpa/MpaLayer3BuiltTables.h"

namespace fz::mpa {

// With N = 36 the outputs pair up: x[17 − i] = −x[i] for i = 0..8 (the cosine arguments sum to
// π (2k + 1)) and x[53 − i] = x[i] for i = 18..26 (they sum to 2π (2k + 1)). So 18 sums give
// all 36 samples; the 12-point transform is the same with 6 of 12.
void Imdct36(const float* in, float* out) {
    const auto& c = Layer3Tables().imdctLong;
    for (int j = 0; j < 18; ++j) {
        const auto& row = c[static_cast<std::size_t>(j)];
        float sum = 0.0f;
        for (int k = 0; k < 18; ++k) {
            sum += in[k] * row[static_cast<std::size_t>(k)];
        }
        if (j < 9) {
            out[j] = sum;
            out[17 - j] = -sum;
        } else {
            const int i = j + 9;
            out[i] = sum;
            out[53 - i] = sum;
        }
    }
}

void Imdct12(const float* in, int stride, float* out) {
    const auto& c = Layer3Tables().imdctShort;
    for (int j = 0; j < 6; ++j) {
        const auto& row = c[static_cast<std::size_t>(j)];
        float sum = 0.0f;
        for (int k = 0; k < 6; ++k) {
            sum += in[k * stride] * row[static_cast<std::size_t>(k)];
        }
        if (j < 3) {
            out[j] = sum;
            out[5 - j] = -sum;
        } else {
            const int i = j + 3;
            out[i] = sum;
            out[17 - i] = sum;
        }
    }
}

} // namespace fz::mpa
