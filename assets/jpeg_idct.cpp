// Inverse DCT by the Arai-Agui-Nakajima factorisation (Y. Arai, T. Agui, M. Nakajima, "A fast
// DCT-SQ scheme for images", Trans. IEICE E-71(11), 1988), in 16-bit fixed point.
//
// Accuracy trade-off: the AAN output scale factors are folded into the quantisation table at
// DQT time (14-bit factors, 2 fraction bits kept), so a block costs 6 multiplications per 1-D
// transform beside the dequantisation, all on 16-bit lanes. Products keep the high half of the
// 32-bit result (floor), which costs about one least significant bit per multiplication; the
// 2 fraction bits plus the 1/8 of the 2-D transform make the final shift of 5.
//
// The constants are 16-bit fractions of the part of each AAN factor that lies between -1 and 1
// (a multiply by 1.414 is x + x * 0.414), so no intermediate is larger than the factor's result.
// The rotation of the odd part (factors 1.082, 1.848 and -2.613 in the textbook flow graph) is
// computed as its two equivalent terms 0.765 and 1.848.
//
// Every operation is a 16-bit wrap-around add or subtract, or a high-half product: the portable
// version spells out each one so that it matches the SSE2 version bit for bit.
#include <emmintrin.h>

#include <cstring>

#include "assets/jpeg_internal.h"

namespace ostravel::jpeg_detail {
namespace {

constexpr int16_t kFrac0414 = 27146;   // (sqrt(2) - 1) x 65536
constexpr int16_t kFrac0152 = -9977;   // (1.847759 - 2) x 65536: 1.848 x = x + (x - 0.152 x)
constexpr int16_t kFrac0235 = -15377;  // (0.765367 - 1) x 65536: 0.765 x = x - 0.235 x

// ---- portable 16-bit lane operations ----
inline int16_t add16(int16_t a, int16_t b) { return int16_t(int(a) + int(b)); }
inline int16_t sub16(int16_t a, int16_t b) { return int16_t(int(a) - int(b)); }
inline int16_t mulhi16(int16_t a, int16_t c) { return int16_t((int(a) * int(c)) >> 16); }
inline int16_t mul1414(int16_t v) { return add16(v, mulhi16(v, kFrac0414)); }
inline int16_t mul0765(int16_t v) { return add16(v, mulhi16(v, kFrac0235)); }
inline int16_t mul1848(int16_t v) { return add16(v, add16(v, mulhi16(v, kFrac0152))); }

inline void transform8(const int16_t* x, int16_t* out) {
    // Even part.
    const int16_t t10 = add16(x[0], x[4]);
    const int16_t t11 = sub16(x[0], x[4]);
    const int16_t t13 = add16(x[2], x[6]);
    const int16_t t12 = sub16(mul1414(sub16(x[2], x[6])), t13);
    const int16_t e0 = add16(t10, t13), e3 = sub16(t10, t13);
    const int16_t e1 = add16(t11, t12), e2 = sub16(t11, t12);
    // Odd part.
    const int16_t z13 = add16(x[5], x[3]), z10 = sub16(x[5], x[3]);
    const int16_t z11 = add16(x[1], x[7]), z12 = sub16(x[1], x[7]);
    const int16_t o7 = add16(z11, z13);
    const int16_t o11 = mul1414(sub16(z11, z13));
    const int16_t r10 = sub16(int16_t(0), add16(mul0765(z12), mul1848(z10)));
    const int16_t r12 = sub16(mul1848(z12), mul0765(z10));
    const int16_t o6 = sub16(r12, o7);
    const int16_t o5 = sub16(o11, o6);
    const int16_t o4 = add16(r10, o5);
    out[0] = add16(e0, o7);
    out[7] = sub16(e0, o7);
    out[1] = add16(e1, o6);
    out[6] = sub16(e1, o6);
    out[2] = add16(e2, o5);
    out[5] = sub16(e2, o5);
    out[4] = add16(e3, o4);
    out[3] = sub16(e3, o4);
}

inline uint8_t toSample(int16_t v) {
    const int s = (v >> 5) + 128;
    return uint8_t(s < 0 ? 0 : (s > 255 ? 255 : s));
}

void dcOnly(const int16_t* coefficients, const int16_t* quant, uint8_t* samples) {
    std::memset(samples, toSample(int16_t(int(coefficients[0]) * int(quant[0]))), 64);
}

// ---- SSE2 ----
struct Lanes {
    __m128i v[8];
};

inline __m128i mul1414(__m128i v) { return _mm_add_epi16(v, _mm_mulhi_epi16(v, _mm_set1_epi16(kFrac0414))); }
inline __m128i mul0765(__m128i v) { return _mm_add_epi16(v, _mm_mulhi_epi16(v, _mm_set1_epi16(kFrac0235))); }
inline __m128i mul1848(__m128i v) {
    return _mm_add_epi16(v, _mm_add_epi16(v, _mm_mulhi_epi16(v, _mm_set1_epi16(kFrac0152))));
}

inline void transform8(Lanes& x) {
    const __m128i t10 = _mm_add_epi16(x.v[0], x.v[4]);
    const __m128i t11 = _mm_sub_epi16(x.v[0], x.v[4]);
    const __m128i t13 = _mm_add_epi16(x.v[2], x.v[6]);
    const __m128i t12 = _mm_sub_epi16(mul1414(_mm_sub_epi16(x.v[2], x.v[6])), t13);
    const __m128i e0 = _mm_add_epi16(t10, t13), e3 = _mm_sub_epi16(t10, t13);
    const __m128i e1 = _mm_add_epi16(t11, t12), e2 = _mm_sub_epi16(t11, t12);
    const __m128i z13 = _mm_add_epi16(x.v[5], x.v[3]), z10 = _mm_sub_epi16(x.v[5], x.v[3]);
    const __m128i z11 = _mm_add_epi16(x.v[1], x.v[7]), z12 = _mm_sub_epi16(x.v[1], x.v[7]);
    const __m128i o7 = _mm_add_epi16(z11, z13);
    const __m128i o11 = mul1414(_mm_sub_epi16(z11, z13));
    const __m128i r10 = _mm_sub_epi16(_mm_setzero_si128(), _mm_add_epi16(mul0765(z12), mul1848(z10)));
    const __m128i r12 = _mm_sub_epi16(mul1848(z12), mul0765(z10));
    const __m128i o6 = _mm_sub_epi16(r12, o7);
    const __m128i o5 = _mm_sub_epi16(o11, o6);
    const __m128i o4 = _mm_add_epi16(r10, o5);
    x.v[0] = _mm_add_epi16(e0, o7);
    x.v[7] = _mm_sub_epi16(e0, o7);
    x.v[1] = _mm_add_epi16(e1, o6);
    x.v[6] = _mm_sub_epi16(e1, o6);
    x.v[2] = _mm_add_epi16(e2, o5);
    x.v[5] = _mm_sub_epi16(e2, o5);
    x.v[4] = _mm_add_epi16(e3, o4);
    x.v[3] = _mm_sub_epi16(e3, o4);
}

inline void transpose(Lanes& x) {
    const __m128i a0 = _mm_unpacklo_epi16(x.v[0], x.v[1]), a1 = _mm_unpackhi_epi16(x.v[0], x.v[1]);
    const __m128i a2 = _mm_unpacklo_epi16(x.v[2], x.v[3]), a3 = _mm_unpackhi_epi16(x.v[2], x.v[3]);
    const __m128i a4 = _mm_unpacklo_epi16(x.v[4], x.v[5]), a5 = _mm_unpackhi_epi16(x.v[4], x.v[5]);
    const __m128i a6 = _mm_unpacklo_epi16(x.v[6], x.v[7]), a7 = _mm_unpackhi_epi16(x.v[6], x.v[7]);
    const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
    const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
    const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
    const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
    x.v[0] = _mm_unpacklo_epi64(b0, b4);
    x.v[1] = _mm_unpackhi_epi64(b0, b4);
    x.v[2] = _mm_unpacklo_epi64(b1, b5);
    x.v[3] = _mm_unpackhi_epi64(b1, b5);
    x.v[4] = _mm_unpacklo_epi64(b2, b6);
    x.v[5] = _mm_unpackhi_epi64(b2, b6);
    x.v[6] = _mm_unpacklo_epi64(b3, b7);
    x.v[7] = _mm_unpackhi_epi64(b3, b7);
}

}  // namespace

void inverseDctPortable(const int16_t* coefficients, const int16_t* quant, int extent, uint8_t* samples) {
    if (extent <= 1) return dcOnly(coefficients, quant, samples);
    int16_t work[64];
    int16_t x[8], out[8];
    for (int c = 0; c < 8; ++c) {  // columns
        for (int i = 0; i < 8; ++i) x[i] = int16_t(int(coefficients[i * 8 + c]) * int(quant[i * 8 + c]));
        transform8(x, out);
        for (int i = 0; i < 8; ++i) work[i * 8 + c] = out[i];
    }
    for (int r = 0; r < 8; ++r) {  // rows
        transform8(&work[r * 8], out);
        for (int j = 0; j < 8; ++j) samples[r * 8 + j] = toSample(out[j]);
    }
}

void inverseDctSse2(const int16_t* coefficients, const int16_t* quant, int extent, uint8_t* samples) {
    if (extent <= 1) return dcOnly(coefficients, quant, samples);
    Lanes x;
    for (int i = 0; i < 8; ++i) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + 8 * i));
        const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(quant + 8 * i));
        x.v[i] = _mm_mullo_epi16(c, q);
    }
    transform8(x);  // columns: lane = column
    transpose(x);
    transform8(x);  // rows: lane = row, register = output column
    for (int i = 0; i < 8; ++i) x.v[i] = _mm_srai_epi16(x.v[i], 5);
    transpose(x);
    // Saturating packs clamp to -128..127; flipping the top bit adds 128.
    const __m128i bias = _mm_set1_epi8(char(0x80));
    for (int i = 0; i < 8; i += 2) {
        const __m128i packed = _mm_xor_si128(_mm_packs_epi16(x.v[i], x.v[i + 1]), bias);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + 8 * i), packed);
    }
}

}  // namespace ostravel::jpeg_detail
