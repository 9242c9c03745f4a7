// Credits and greetings lettering: the title and credits in the first 44 s, the twelve greetings
// between 95 and 124 s, on a drifting, turning sheet of graph-paper lines and dots, with falling
// bars, a dot screen, picture cards and a flickering grid as decoration.
//
// Conventions
// - World units in the plane z = 0 of the sheet (scenes/sheet.h places the sheet); one unit is
//   one graph-paper square, the paper reaching 15 units from its centre at full size.
// - The text's appear values come from pop (below): 0 hides a line, about 5 shows it fully, and
//   the glyphs pop in and out one by one in between (render/outline_font.h).
// - Every random layout reseeds the show's one random sequence first, so the picture depends on
//   the time only.
// - Draws with the caller's blend function (additive in the show) and texture slots 14 (dot
//   screen) and 20..24 (picture cards) from time.textureSlotBase.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "assets/texture_bank.h"
#include "render/glyph_lists.h"
#include "scenes/scene_time.h"

namespace ostravel {

// 5 clamp01(k sin(pi min(1, rate max(0, localTime - t0))): rises from 0 at t0 to its top at
// t0 + 1 / (2 rate) and is back at 0 at t0 + 1 / rate.
double pop(double localTime, double t0, double rate, double k);

struct CreditLine {
    const char* text;
    double x, y;
    float red, green, blue;
    double scale;
    uint32_t seed;  // the glyphs' popping order
    double t0;      // pop start; rate 0.07
    double k;       // pop height (above 1 keeps the line fully shown longer)
};

extern const std::array<CreditLine, 8> kCreditLines;

constexpr double kCreditsEnd = 44.0;     // credits drawn only before this
constexpr double kGreetingsFrom = 95.0;  // greetings drawn only strictly between these
constexpr double kGreetingsTo = 124.0;

// The appear value a credit row is printed with (0 from kCreditsEnd on).
double creditAppear(double localTime, int row);
// The appear value greeting j is printed with (0 outside the greetings' time).
double greetingAppear(double localTime, int j);

// The whole layer for one frame. f1 sizes and lights the graph paper, f2 drives the grid flicker.
void drawLettering(const SceneTime& time, const std::vector<std::string>& greetings, const TextureBank& textures,
                   const GlyphLists& font, double f1, double f2);

}  // namespace ostravel
