// FontOutlines through fontconfig (family + weight -> font file) and FreeType (unscaled,
// unhinted outlines in design units).
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <string>

#include "platform/font_outlines.h"

namespace ostravel {

namespace {

OutlinePoint toPoint(const FT_Vector* v) { return {double(v->x), double(v->y)}; }

// FT_Outline_Decompose calls these with design-unit coordinates (the glyph is loaded unscaled).
struct Decomposer {
    GlyphOutline* glyph;

    static int moveTo(const FT_Vector* to, void* user) {
        auto* self = static_cast<Decomposer*>(user);
        self->glyph->contours.push_back({toPoint(to), {}});
        return 0;
    }
    static int lineTo(const FT_Vector* to, void* user) {
        static_cast<Decomposer*>(user)->add({OutlineSegment::Kind::Line, {}, {}, toPoint(to)});
        return 0;
    }
    static int conicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
        static_cast<Decomposer*>(user)->add({OutlineSegment::Kind::Conic, toPoint(control), {}, toPoint(to)});
        return 0;
    }
    static int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
        static_cast<Decomposer*>(user)->add({OutlineSegment::Kind::Cubic, toPoint(c1), toPoint(c2), toPoint(to)});
        return 0;
    }
    void add(const OutlineSegment& segment) {
        if (!glyph->contours.empty()) glyph->contours.back().segments.push_back(segment);
    }
};

// fontconfig's best match for the family and weight: the file and the face index within it.
bool matchFace(const char* family, int weight, std::string& file, int& index) {
    if (!FcInit()) return false;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, int(FcWeightFromOpenTypeDouble(weight)));
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* path = nullptr;
    const bool found = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch;
    if (found) file = reinterpret_cast<const char*>(path);
    index = 0;
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FcPatternDestroy(match);
    return found;
}

class FreeTypeFontOutlines : public FontOutlines {
public:
    ~FreeTypeFontOutlines() override {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }

    bool open(const char* family, int weight) override {
        std::string file;
        int index = 0;
        if (!matchFace(family, weight, file, index)) return false;
        if (!library && FT_Init_FreeType(&library) != 0) return false;
        if (face) FT_Done_Face(face);
        face = nullptr;
        return FT_New_Face(library, file.c_str(), index, &face) == 0 && FT_IS_SCALABLE(face);
    }

    int unitsPerEm() const override { return face ? face->units_per_EM : 0; }

    GlyphOutline glyph(uint32_t code) override {
        GlyphOutline out;
        if (!face) return out;
        const FT_UInt index = FT_Get_Char_Index(face, code);
        if (index == 0) return out;  // the face's .notdef stands for "no glyph"
        if (FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return out;
        FT_GlyphSlot slot = face->glyph;
        out.present = true;
        out.advance = double(slot->advance.x);
        if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return out;
        out.filledOnRight = FT_Outline_Get_Orientation(&slot->outline) != FT_ORIENTATION_POSTSCRIPT;
        Decomposer decomposer{&out};
        FT_Outline_Funcs funcs{};
        funcs.move_to = &Decomposer::moveTo;
        funcs.line_to = &Decomposer::lineTo;
        funcs.conic_to = &Decomposer::conicTo;
        funcs.cubic_to = &Decomposer::cubicTo;
        FT_Outline_Decompose(&slot->outline, &funcs, &decomposer);
        return out;
    }

private:
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

}  // namespace

FontOutlines& freeTypeFontOutlines() {
    static FreeTypeFontOutlines outlines;
    return outlines;
}

}  // namespace ostravel
