// Extruded 3-D lettering: a bold "Arial" face turned into one display list per character, and
// the print routine that lays a line out with those lists.
//
// Glyph geometry (what GDI's outline-font call builds in polygon mode): coordinates in ems,
// curves flattened to a chordal deviation of kGlyphDeviation font design units (coarse on
// purpose: the facets are the lettering's look), the front face tessellated at z = 0 facing +z
// (non-zero winding, so counter-wound contours stay holes), the back face at z = -extrusion
// facing -z, and one flat-shaded side quad per outline edge with its outward normal. Each list
// ends with a translation by the glyph's advance, so consecutive calls lay out a line.
//
// Only characters 0 to 122 ("z") get glyphs; lists 123 to 255 stay empty. A character the face
// lacks gets an empty list and zero metrics.
#pragma once

#include <vector>

#include "platform/font_outlines.h"
#include "render/glyph_lists.h"

namespace ostravel {

constexpr double kGlyphDeviation = 100.0;  // design units
constexpr double kGlyphExtrusion = 0.1;    // ems
constexpr int kGlyphCount = 123;           // characters 0 .. 122

struct GlyphVertex {
    float x, y, z;
};

struct GlyphMesh {
    std::vector<GlyphVertex> front;        // triangles, z = 0, counter-clockwise seen from +z
    std::vector<GlyphVertex> back;         // triangles, z = -extrusion, counter-clockwise seen from -z
    std::vector<GlyphVertex> sides;        // quads, counter-clockwise seen from outside
    std::vector<GlyphVertex> sideNormals;  // one per side quad
    GlyphMetrics metrics;
};

// Closed polylines of a glyph in design units, each curve split in halves until no piece strays
// more than `deviation` from its chord; contours come out with the filled area on their right.
// The closing vertex is not repeated.
std::vector<std::vector<OutlinePoint>> flattenGlyph(const GlyphOutline& outline, double deviation);

// The extruded glyph in ems (tessellated with the GLU tessellator).
GlyphMesh buildGlyphMesh(const GlyphOutline& outline, int unitsPerEm, double deviation, double extrusion);

// Builds the 256 lists into font from "Arial" bold. Needs a current GL context.
void createOutlineFont(GlyphLists& font);
void createOutlineFont(GlyphLists& font, FontOutlines& outlines);

// Prints a printf-formatted line (under 260 characters) in the current model-view frame.
// appearance below 0.0001 draws nothing; from 3.33 on the line sits centred on x = 0 (plus
// 0.03 per character) and every glyph is drawn at full size; in between the line slides in from
// +5 and each glyph takes a jittered scale from the show's random sequence (four draws per
// character, drawn or not), glyphs scaled to 0.001 or less being left out.
void printText(const GlyphLists& font, double appearance, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

}  // namespace ostravel
