// The outline font's display lists and glyph metrics, as the engine record holds them.
//
// Units: ems (1 = the font's em square), x to the right, y up, origin on the baseline.
#pragma once

#include <array>

#include "platform/gl.h"

namespace ostravel {

// One glyph's box and advance (the fields of GDI's GLYPHMETRICSFLOAT).
struct GlyphMetrics {
    float blackBoxX = 0.0f;  // width of the smallest box around the outline
    float blackBoxY = 0.0f;  // its height
    float originX = 0.0f;    // upper-left corner of that box
    float originY = 0.0f;
    float cellIncX = 0.0f;   // horizontal pen advance: the glyph's width in a line of text
};

struct GlyphLists {
    GLuint base = 0;  // first of 256 consecutive display lists; base + c draws character c
    std::array<GlyphMetrics, 256> metrics{};
};

}  // namespace ostravel
