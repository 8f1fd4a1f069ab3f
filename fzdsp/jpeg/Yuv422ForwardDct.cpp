#include "fzdsp/jpeg/Yuv422ForwardDct.h"

#include "fzdsp/jpeg/Yuv422ForwardDctKernel.h"

#include <cstddef>

namespace fz {
namespace {

// Eight independent values, one per row or column of a block, so that each step of the
// transform is one loop the compiler can run on vector registers. The scalar functions of the
// header and the block transform share the templates of Yuv422ForwardDctKernel.h.
struct Lanes {
    std::int32_t v[8];
};

#define FZ_LANEWISE(op)                                                                            \
    [[gnu::always_inline]] inline Lanes operator op(const Lanes& a, const Lanes& b) {              \
        Lanes r;                                                                                   \
        for (int i = 0; i < 8; ++i)                                                                \
            r.v[i] = a.v[i] op b.v[i];                                                             \
        return r;                                                                                  \
    }
FZ_LANEWISE(+)
FZ_LANEWISE(-)
FZ_LANEWISE(|)
#undef FZ_LANEWISE

[[gnu::always_inline]] inline Lanes operator>>(const Lanes& a, int n) {
    Lanes r;
    for (int i = 0; i < 8; ++i)
        r.v[i] = a.v[i] >> n;
    return r;
}
[[gnu::always_inline]] inline Lanes operator*(const Lanes& a, std::int32_t k) {
    Lanes r;
    for (int i = 0; i < 8; ++i)
        r.v[i] = a.v[i] * k;
    return r;
}
[[gnu::always_inline]] inline Lanes operator+(const Lanes& a, std::int32_t k) {
    Lanes r;
    for (int i = 0; i < 8; ++i)
        r.v[i] = a.v[i] + k;
    return r;
}
[[gnu::always_inline]] inline Lanes operator&(const Lanes& a, std::int32_t k) {
    Lanes r;
    for (int i = 0; i < 8; ++i)
        r.v[i] = a.v[i] & k;
    return r;
}
[[gnu::always_inline]] inline Lanes operator-(const Lanes& a) {
    Lanes r;
    for (int i = 0; i < 8; ++i)
        r.v[i] = -a.v[i];
    return r;
}

} // namespace

// The long form of the definition, kept apart from the kernels' shorter equivalent.
std::int32_t JamShift(std::int32_t a, int n) {
    if (n == 0)
        return a;
    const std::int32_t kept = a >> (n - 1);
    const std::int32_t s = (kept & 3) != 0 ? 1 : 0;
    return (a >> (n + 1)) * 2 + s;
}
std::int32_t MultiplyA(std::int32_t a) {
    return dct::MulA(a);
}
std::int32_t MultiplyB(std::int32_t a) {
    return dct::MulB(a);
}
std::int32_t MultiplyC(std::int32_t a) {
    return dct::MulC(a);
}
std::int32_t MultiplyD(std::int32_t a) {
    return dct::MulD(a);
}

void ForwardDct8x8(std::array<std::int32_t, 64>& block) {
    // Horizontal pass: input index = column, lane = row.
    Lanes x[8];
    for (int column = 0; column < 8; ++column)
        for (int row = 0; row < 8; ++row)
            x[column].v[row] = block[static_cast<std::size_t>(row * 8 + column)];
    Lanes horizontal[8];
    dct::Transform8(x, horizontal, 16384);

    // Vertical pass: input index = row, lane = horizontal frequency u.
    for (int row = 0; row < 8; ++row)
        for (int u = 0; u < 8; ++u)
            x[row].v[u] = horizontal[u].v[row];
    Lanes vertical[8];
    dct::Transform8(x, vertical, 1);

    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u)
            block[static_cast<std::size_t>(v * 8 + u)] = dct::FinalScale(vertical[v].v[u]);
}

} // namespace fz
