// Glyph outlines of one font face: what the outline font of the lettering needs from the
// platform's font system (FreeType with a fontconfig look-up).
//
// Conventions: coordinates are font design units (unitsPerEm of them make one em), y up, the
// origin on the baseline at the pen position. Curves come unflattened, as the font stores them
// (quadratic for TrueType, cubic for CFF): the caller flattens them to the deviation it wants.
// A contour is closed: its last segment ends where the next one would start, at `start`.
#pragma once

#include <cstdint>
#include <vector>

namespace ostravel {

struct OutlinePoint {
    double x = 0.0;
    double y = 0.0;
};

struct OutlineSegment {
    enum class Kind { Line, Conic, Cubic };
    Kind kind = Kind::Line;
    OutlinePoint control1;  // Conic and Cubic
    OutlinePoint control2;  // Cubic only
    OutlinePoint to;
};

struct OutlineContour {
    OutlinePoint start;
    std::vector<OutlineSegment> segments;
};

struct GlyphOutline {
    bool present = false;       // false: the face has no glyph for the character
    double advance = 0.0;       // horizontal pen advance, design units (unhinted)
    bool filledOnRight = true;  // TrueType winding: the filled area lies right of the travel
    std::vector<OutlineContour> contours;
};

class FontOutlines {
public:
    virtual ~FontOutlines() = default;
    // Resolves a family name and an OpenType weight (400 regular, 700 bold) to an installed
    // face and opens it. False when nothing can be opened.
    virtual bool open(const char* family, int weight) = 0;
    // Design units per em of the open face (0 before a successful open).
    virtual int unitsPerEm() const = 0;
    // The outline of a character code (Unicode; the show's codes are ASCII).
    virtual GlyphOutline glyph(uint32_t code) = 0;
};

// FreeType + fontconfig ("Arial" bold resolves to Liberation Sans Bold where that is installed).
FontOutlines& freeTypeFontOutlines();

}  // namespace ostravel
