// A FontOutlines for tests: glyphs are whatever the test puts in the table; records the face
// that was asked for.
#pragma once

#include <map>
#include <string>

#include "platform/font_outlines.h"

namespace ostravel {

class FakeFontOutlines : public FontOutlines {
public:
    std::map<uint32_t, GlyphOutline> glyphs;
    int units = 1000;
    bool opens = true;
    std::string openedFamily;
    int openedWeight = 0;

    bool open(const char* family, int weight) override {
        openedFamily = family;
        openedWeight = weight;
        return opens;
    }
    int unitsPerEm() const override { return opens ? units : 0; }
    GlyphOutline glyph(uint32_t code) override {
        const auto found = glyphs.find(code);
        return found == glyphs.end() ? GlyphOutline{} : found->second;
    }

    // An axis-aligned rectangle contour; clockwise (TrueType's outer winding) unless reversed.
    static OutlineContour rectangle(double x0, double y0, double x1, double y1, bool reversed = false) {
        OutlineContour c;
        c.start = {x0, y0};
        const OutlinePoint cw[4] = {{x0, y1}, {x1, y1}, {x1, y0}, {x0, y0}};
        const OutlinePoint ccw[4] = {{x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}};
        for (int i = 0; i < 4; ++i)
            c.segments.push_back({OutlineSegment::Kind::Line, {}, {}, reversed ? ccw[i] : cw[i]});
        return c;
    }
};

}  // namespace ostravel
