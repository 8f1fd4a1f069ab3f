#pragma once

#include <cstdint>

// The arithmetic of the YUV422 encoder's fixed-point forward DCT (Yuv422ForwardDct.h), written
// once for any lane type V: a plain std::int32_t, eight lanes in a struct for the portable
// block transform, or SSE2/AVX2 registers. V needs + - | between values, >> n, + k, & k and
// * k with an integer k, and unary minus; the vector types only ever see powers of two for k
// and may implement * as a left shift, which gives the same 32-bit result.
// Private to the encoder's kernels; include it from their .cpp files only. Everything here has
// internal linkage, so that the copy compiled for AVX2 never stands in for another file's.
namespace fz::dct {
namespace {

// 1 where any of the lowest Bits bits of x are set, else 0.
template <int Bits, class V>
[[gnu::always_inline]] inline V AnyLowBits(V x) {
    const V low = x & ((1 << Bits) - 1);
    V any = low;
    for (int i = 1; i < Bits; ++i)
        any = any | (low >> i);
    return any & 1;
}

// The jam shift 2 * (a >> (N + 1)) + s, s = bit N-1 | bit N of a, in three operations:
// 2 * (a >> (N + 1)) is a >> N with its lowest bit (bit N of a) cleared, so adding s only sets
// that bit, and it ends up set exactly when bit N or bit N - 1 of a is. Hence
// (a >> N) | ((a >> (N - 1)) & 1). JamShift in Yuv422ForwardDct.cpp keeps the long form, and
// a test holds the two together.
template <int N, class V>
[[gnu::always_inline]] inline V Jam(V a) {
    if constexpr (N == 0)
        return a;
    else
        return (a >> N) | ((a >> (N - 1)) & 1);
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

[[gnu::always_inline]] inline std::int32_t EqualMask(std::int32_t a, std::int32_t k) {
    return a == k ? -1 : 0;
}

// MulD with its first two steps folded, for lane types that have EqualMask(a, k) (-1 where
// a == k, else 0). With u = -a - 1 = ~a = 8q + r (q = u >> 3, r = u & 7): the rounded t is
// 8q + 4 [r != 0], so t >> 2 = 2q + [r != 0]. As q = ~(a >> 3) = -(a >> 3) - 1 and r = 0
// exactly when a & 7 = 7, the second t is -a - 2 (a >> 3) - [a & 7 = 7]. The remaining steps
// are MulD's own. A test holds it to MulD.
template <class V>
[[gnu::always_inline]] inline V MulDMasked(V a) {
    const V a2 = a * 2;
    V t = EqualMask(a & 7, 7) - a - (a >> 3) * 2;
    t = (t >> 3) - a2;
    t = (t >> 2) + a2;
    t = (t >> 2) - a2;
    t = (t >> 2) + a2;
    return Jam<4>(t);
}

// a * k, for the scalar lane type; the vector kernels define their own.
[[gnu::always_inline]] inline std::int32_t MultiplySmall(std::int32_t a, std::int32_t k) {
    return a * k;
}

// MulA, MulB and MulC before their final jam shift as single products, for lane types that
// have MultiplySmall (below). Each cascade step is t' = (t >> n) + j a with an integer j, and
// floor(floor(x / 2^p) / 2^q + j a) = floor((x + j a 2^p) / 2^(p + q)): the floors of a
// cascade compose into one. MulA's t is then floor(3393 a / 2^10), MulB's
// floor(6945 a / 2^12) and MulC's floor(9281 a / 2^12). Those products overflow 32 bits for
// the vertical pass's inputs (up to 2^20), so a splits into h 2^n + l with h = a >> n and
// l = a & (2^n - 1): floor(K a / 2^n) = K h + floor(K l / 2^n). For |a| below 2^25 both h and
// l fit in 16 bits, which MultiplySmall takes. A test holds each to its cascade.
template <int Shift, std::int32_t Factor, class V>
[[gnu::always_inline]] inline V ScaledProduct(V a) {
    return MultiplySmall(a >> Shift, Factor) +
           (MultiplySmall(a & ((1 << Shift) - 1), Factor) >> Shift);
}
template <class V>
[[gnu::always_inline]] inline V MulASplit(V a) {
    return Jam<4>(ScaledProduct<10, 3393>(a));
}
template <class V>
[[gnu::always_inline]] inline V MulBSplit(V a) {
    return Jam<2>(ScaledProduct<12, 6945>(a));
}
template <class V>
[[gnu::always_inline]] inline V MulCSplit(V a) {
    return Jam<3>(ScaledProduct<12, 9281>(a));
}

// MulDMasked as a split product the same way. Its first t is e - a - 2 (a >> 3) with
// e = -[a & 7 = 7], and the four steps after it compose into
// t = floor((e - a - 2 (a >> 3) + 816 a) / 2^9). With a = 2^12 h + l (l = a & 4095), a >> 3 is
// 2^9 h + (l >> 3) and e depends on l alone, so t = 6518 h + floor(f / 2^9) with
// f = 815 l - 2 (l >> 3) + e. A test holds it to MulD.
template <class V>
[[gnu::always_inline]] inline V MulDSplit(V a) {
    const V l = a & 4095;
    const V f = MultiplySmall(l, 815) - (l >> 3) * 2 + EqualMask(l & 7, 7);
    return Jam<4>(MultiplySmall(a >> 12, 6518) + (f >> 9));
}

enum class DForm { kAsDefined, kMasked };

template <DForm Form, class V>
[[gnu::always_inline]] inline V MulDAs(V a) {
    if constexpr (Form == DForm::kMasked)
        return MulDSplit(a);
    else
        return MulD(a);
}
template <DForm Form, class V>
[[gnu::always_inline]] inline V MulAAs(V a) {
    if constexpr (Form == DForm::kMasked)
        return MulASplit(a);
    else
        return MulA(a);
}
template <DForm Form, class V>
[[gnu::always_inline]] inline V MulBAs(V a) {
    if constexpr (Form == DForm::kMasked)
        return MulBSplit(a);
    else
        return MulB(a);
}
template <DForm Form, class V>
[[gnu::always_inline]] inline V MulCAs(V a) {
    if constexpr (Form == DForm::kMasked)
        return MulCSplit(a);
    else
        return MulC(a);
}

// The eight-point transform of x[0..7] with input factor k: the even half from the sums,
// the odd half from the differences (a factorisation of the T.81 A.3.3 DCT matrix). The
// vector kernels take MulA, MulB, MulC and MulD as split products
// (DForm::kMasked), and in the vertical pass the sums before each output's final J(., 2) (see
// FinalScaleOfSum).
enum class Outputs { kJammed, kSums };

// Transform8 handing each output to emit(index, value) as soon as it is complete, the even
// ones first: a vector kernel that quantises and stores every output there keeps fewer values
// alive at once.
template <DForm Form = DForm::kAsDefined, Outputs Out = Outputs::kJammed, class V, class Emit>
[[gnu::always_inline]] inline void Transform8Each(const V (&x)[8], std::int32_t k, Emit&& emit) {
    V s[4];
    V d[4];
    for (int i = 0; i < 4; ++i) {
        s[i] = Half((x[i] + x[7 - i]) * k);
        d[i] = Half((x[i] - x[7 - i]) * k);
    }
    const auto output = [](V sum) {
        if constexpr (Out == Outputs::kSums)
            return sum;
        else
            return Jam<2>(sum);
    };
    emit(0, output(Quarter(s[0]) + Quarter(s[1]) + Quarter(s[2]) + Quarter(s[3])));
    emit(4, output(Quarter(s[0]) + Quarter(s[3]) - Quarter(s[1]) - Quarter(s[2])));
    emit(2, output(Half(s[0]) + MulAAs<Form>(s[1]) - MulAAs<Form>(s[2]) - Half(s[3])));
    emit(6, output(MulAAs<Form>(s[0]) - Half(s[1]) + Half(s[2]) - MulAAs<Form>(s[3])));
    emit(1, output(Half(d[0]) + MulBAs<Form>(d[1]) + MulCAs<Form>(d[2]) + MulDAs<Form>(d[3])));
    emit(3, output(MulBAs<Form>(d[0]) - MulDAs<Form>(d[1]) - Half(d[2]) - MulCAs<Form>(d[3])));
    emit(5, output(MulCAs<Form>(d[0]) - Half(d[1]) + MulDAs<Form>(d[2]) + MulBAs<Form>(d[3])));
    emit(7, output(MulDAs<Form>(d[0]) - MulCAs<Form>(d[1]) + MulBAs<Form>(d[2]) - Half(d[3])));
}

template <DForm Form = DForm::kAsDefined, Outputs Out = Outputs::kJammed, class V>
[[gnu::always_inline]] inline void Transform8(const V (&x)[8], V (&out)[8], std::int32_t k) {
    Transform8Each<Form, Out>(x, k, [&out](int index, V value) { out[index] = value; });
}

// The horizontal pass (k = 16384) once more, for the vector kernels, with the operations that
// its inputs make exact taken out. With level-shifted samples x in -128..127, every sum
// sigma = x_i + x_(7-i) lies in -256..254 and every difference delta in -255..255, and
// s_i = Half(sigma * 16384) = sigma * 8192 exactly (the lowest bit is clear, nothing is
// dropped). From a multiple of 8192 on, every shift in the cascades drops only zero bits until
// the final jam shift, so each cascade is a plain multiple:
//   Quarter(8192 sigma) = 2048 sigma, Half(8192 sigma) = 4096 sigma;
//   MulA: t = 27144 sigma = 8 * 3393 sigma, J(t, 4) = J(3393 sigma, 1);
//   MulB: t = 13890 delta = 2 * 6945 delta, J(t, 2) = J(6945 delta, 1);
//   MulC: t = 18562 delta = 2 * 9281 delta, J(t, 3) = J(9281 delta, 2);
//   MulD: u = -8192 delta - 1 has its three low bits set, so t starts at -8192 delta - 4 and
//         the next step gives -(2048 + 8192) delta exactly; then t = 13036 delta
//         = 4 * 3259 delta, J(t, 4) = J(3259 delta, 2);
// and X0 = J(2048 (s0 + s1 + s2 + s3), 2) = 512 (s0 + s1 + s2 + s3), X4 likewise. The products
// stay below 2^23, and sigma, delta and the factors fit in 16 bits, which lets a vector
// kernel form them with one 16 x 16-bit multiply-add: MultiplySmall(a, k) = a * k for
// a in -256..255 (held in a 32-bit lane) and k in 0..32767. A test holds every identity above
// for the whole range, and this pass to Transform8.

template <class V>
[[gnu::always_inline]] inline void HorizontalTransform8(const V (&x)[8], V (&out)[8]) {
    V sigma[4];
    V delta[4];
    for (int i = 0; i < 4; ++i) {
        sigma[i] = x[i] + x[7 - i];
        delta[i] = x[i] - x[7 - i];
    }
    V a[4];
    V b[4];
    V c[4];
    V d[4];
    for (int i = 0; i < 4; ++i) {
        a[i] = Jam<1>(MultiplySmall(sigma[i], 3393));
        b[i] = Jam<1>(MultiplySmall(delta[i], 6945));
        c[i] = Jam<2>(MultiplySmall(delta[i], 9281));
        d[i] = Jam<2>(MultiplySmall(delta[i], 3259));
    }
    out[0] = (sigma[0] + sigma[1] + sigma[2] + sigma[3]) * 512;
    out[4] = (sigma[0] + sigma[3] - sigma[1] - sigma[2]) * 512;
    out[2] = Jam<2>((sigma[0] - sigma[3]) * 4096 + a[1] - a[2]);
    out[6] = Jam<2>((sigma[2] - sigma[1]) * 4096 + a[0] - a[3]);
    out[1] = Jam<2>(delta[0] * 4096 + b[1] + c[2] + d[3]);
    out[3] = Jam<2>(b[0] - d[1] - delta[2] * 4096 - c[3]);
    out[5] = Jam<2>(c[0] - delta[1] * 4096 + d[2] + b[3]);
    out[7] = Jam<2>(d[0] - c[1] + b[2] - delta[3] * 4096);
}

// The coefficient of the vertical pass's output X: J(X >> 2, 1).
template <class V>
[[gnu::always_inline]] inline V FinalScale(V x) {
    return Jam<1>(x >> 2);
}

// The same from the sum S of which X = J(S, 2): J(S, 2) differs from S >> 2 in bit 0 only,
// which the next >> 2 drops, so X >> 2 = S >> 4 and the coefficient is J(S >> 4, 1) = J(S, 5).
template <class V>
[[gnu::always_inline]] inline V FinalScaleOfSum(V sum) {
    return Jam<5>(sum);
}

} // namespace
} // namespace fz::dct
