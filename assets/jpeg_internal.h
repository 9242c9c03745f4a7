// Internals of the JPEG decoder shared by its source files: the constant tables and the
// inverse DCT. Not part of the public interface (see assets/jpeg.h).
#pragma once

#include <cstdint>

namespace ostravel::jpeg_detail {

// Zig-zag position -> natural (row-major) index, ITU-T T.81 Figure A.6. Padded with 16 extra
// entries of 63 so that a run that corrupt data push past the band cannot leave the block.
extern const uint8_t kZigZagToNatural[64 + 16];

// Arai-Agui-Nakajima scale factors, 14-bit fixed point, natural order:
// 16384 x s(u) x s(v), s(0) = 1, s(k) = sqrt(2) cos(k pi / 16).
extern const int16_t kAanScale[64];

// A received quantisation value as the transform wants it: (value x scale + 2048) >> 12, kept
// in 16 bits (2 fraction bits; very large 16-bit values wrap, as only zero coefficients meet them).
inline int16_t prescaleQuant(int value, int naturalIndex) {
    return int16_t((int64_t(value) * kAanScale[naturalIndex] + 2048) >> 12);
}

// Inverse DCT of one 8 x 8 block: dequantise (16-bit products) with the pre-scaled table,
// Arai-Agui-Nakajima 1-D transform on the columns then the rows in 16-bit arithmetic, then
// sample = clamp((value >> 5) + 128, 0, 255). `extent` is the number of leading zig-zag
// positions that may be non-zero: 1 or less takes the DC-only path, which gives the same samples.
// The SSE2 and portable versions give identical samples for every input.
void inverseDctPortable(const int16_t* coefficients, const int16_t* quant, int extent, uint8_t* samples);
void inverseDctSse2(const int16_t* coefficients, const int16_t* quant, int extent, uint8_t* samples);

}  // namespace ostravel::jpeg_detail
