#include "fzctrl/play/mpa/MpaImdct.h"

#include "fzctrl/play/mpa/MpaLayer3BuiltTables.h"

namespace fz::mpa {

// The 36 samples follow from Imdct36Core's 18 values by the symmetries MpaImdct.h lists.
void Imdct36(const float* in, float* out) {
    float y[18];
    Imdct36Core(in, y, Layer3Tables());
    for (int j = 0; j < 9; ++j) {
        out[j] = y[j];
        out[17 - j] = -y[j];
        out[18 + j] = y[9 + j];
        out[35 - j] = y[9 + j];
    }
}

// The 12-point transform pairs up its outputs: x[5 − i] = −x[i] for i = 0..2 (the cosine
// arguments sum to π (2k + 1)) and x[17 − i] = x[i] for i = 6..8 (they sum to 2π (2k + 1)), so 6
// sums give all 12 samples.
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
