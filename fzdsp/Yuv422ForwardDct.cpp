#include "fzdsp/Yuv422ForwardDct.h"

#include <cstddef>

namespace fz {
namespace {

// Eight independent values, one per row or column of a block, so that each step of the
// transform is one loop the compiler can run on vector registers. The scalar functions of the
// header and the block transform share the same templates below.
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

// 1 where any of the lowest Bits bits of x are set, else 0.
template <int Bits, class V>
[[gnu::always_inline]] inline V AnyLowBits(V x) {
    const V low = x & ((1 << Bits) - 1);
    V any = low;
    for (int i = 1; i < Bits; ++i)
        any = any | (low >> i);
    return any & 1;
}

// The shift count is a template argument so that every jam shift of the transform inlines to a
// few vector instructions.
template <int N, class V>
[[gnu::always_inline]] inline V Jam(V a) {
    if constexpr (N == 0)
        return a;
    else
        return (a >> (N + 1)) * 2 + AnyLowBits<2>(a >> (N - 1));
}

template <class V>
[[gnu::always_inline]] inline V Half(V a) {
    return Jam<1>(a);
}
template <class V>
[[gnu::always_inline]] inline V Quarter(V a) {
    return Jam<2>(a);
}

// Each cascade is Horner's scheme for a short binary expansion of the factor: for A,
// t = ((((a / 32 + 2a) / 4 + 2a) / 4 + 2a) / 2 + 2a) = 3.3135 a, and the final jam shift by 4
// leaves 0.2071 a. Every step keeps a scale of about 2a, so the truncations cost little.
template <class V>
[[gnu::always_inline]] inline V MulA(V a) {
    const V a2 = a * 2;
    V t = (a >> 5) + a2;
    t = (t >> 2) + a2;
    t = (t >> 2) + a2;
    t = (t >> 1) + a2;
    return Jam<4>(t);
}

template <class V>
[[gnu::always_inline]] inline V MulB(V a) {
    const V a2 = a * 2;
    V t = (a >> 4) + a2;
    t = (t >> 3) - a2;
    t = (t >> 2) - a2;
    t = (t >> 3) + a2;
    return Jam<2>(t);
}

template <class V>
[[gnu::always_inline]] inline V MulC(V a) {
    const V a2 = a * 2;
    V t = (a >> 5) + a2;
    t = (t >> 4) + a2;
    t = (t >> 3) + a2;
    return Jam<3>(t);
}

// D starts from -a - 1 rounded up to a multiple of 8 plus 4 when its low bits were not clear:
// a jammed division of -a by 8 kept at the scale of a.
template <class V>
[[gnu::always_inline]] inline V MulD(V a) {
    const V a2 = a * 2;
    const V u = -a + (-1);
    V t = (u & ~7) + AnyLowBits<3>(u) * 4;
    t = (t >> 2) - a + 1;
    t = (t >> 3) - a2;
    t = (t >> 2) + a2;
    t = (t >> 2) - a2;
    t = (t >> 2) + a2;
    return Jam<4>(t);
}

// The eight-point transform of x[0..7] with input factor k: the even half from the sums,
// the odd half from the differences (a factorisation of the T.81 A.3.3 DCT matrix).
template <class V>
[[gnu::always_inline]] inline void Transform8(const V (&x)[8], V (&out)[8], std::int32_t k) {
    V s[4];
    V d[4];
    for (int i = 0; i < 4; ++i) {
        s[i] = Half((x[i] + x[7 - i]) * k);
        d[i] = Half((x[i] - x[7 - i]) * k);
    }
    out[0] = Jam<2>(Quarter(s[0]) + Quarter(s[1]) + Quarter(s[2]) + Quarter(s[3]));
    out[2] = Jam<2>(Half(s[0]) + MulA(s[1]) - MulA(s[2]) - Half(s[3]));
    out[4] = Jam<2>(Quarter(s[0]) + Quarter(s[3]) - Quarter(s[1]) - Quarter(s[2]));
    out[6] = Jam<2>(MulA(s[0]) - Half(s[1]) + Half(s[2]) - MulA(s[3]));
    out[1] = Jam<2>(Half(d[0]) + MulB(d[1]) + MulC(d[2]) + MulD(d[3]));
    out[3] = Jam<2>(MulB(d[0]) - MulD(d[1]) - Half(d[2]) - MulC(d[3]));
    out[5] = Jam<2>(MulC(d[0]) - Half(d[1]) + MulD(d[2]) + MulB(d[3]));
    out[7] = Jam<2>(MulD(d[0]) - MulC(d[1]) + MulB(d[2]) - Half(d[3]));
}

} // namespace

std::int32_t JamShift(std::int32_t a, int n) {
    switch (n) {
    case 0:
        return Jam<0>(a);
    case 1:
        return Jam<1>(a);
    case 2:
        return Jam<2>(a);
    case 3:
        return Jam<3>(a);
    case 4:
        return Jam<4>(a);
    default:
        return (a >> (n + 1)) * 2 + AnyLowBits<2>(a >> (n - 1));
    }
}
std::int32_t MultiplyA(std::int32_t a) {
    return MulA(a);
}
std::int32_t MultiplyB(std::int32_t a) {
    return MulB(a);
}
std::int32_t MultiplyC(std::int32_t a) {
    return MulC(a);
}
std::int32_t MultiplyD(std::int32_t a) {
    return MulD(a);
}

void ForwardDct8x8(std::array<std::int32_t, 64>& block) {
    // Horizontal pass: input index = column, lane = row.
    Lanes x[8];
    for (int column = 0; column < 8; ++column)
        for (int row = 0; row < 8; ++row)
            x[column].v[row] = block[static_cast<std::size_t>(row * 8 + column)];
    Lanes horizontal[8];
    Transform8(x, horizontal, 16384);

    // Vertical pass: input index = row, lane = horizontal frequency u.
    for (int row = 0; row < 8; ++row)
        for (int u = 0; u < 8; ++u)
            x[row].v[u] = horizontal[u].v[row];
    Lanes vertical[8];
    Transform8(x, vertical, 1);

    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u)
            block[static_cast<std::size_t>(v * 8 + u)] = Jam<1>(vertical[v].v[u] >> 2);
}

} // namespace fz
