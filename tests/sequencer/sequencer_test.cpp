// The sequencer's timetable: every fade at the times the show's timetable names, and the mode
// choice from the camera's z.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "scenes/sequencer.h"

using namespace ostravel;

namespace {

struct FadeAt {
    const char* element;
    double SequencerFades::*fade;
    double time;
    double expected;
};

// Fades in, full, fades out and gone for each element, read off the show's timetable.
const FadeAt kTimetable[] = {
    {"pan", &SequencerFades::pan, 55.0, 0.0},
    {"pan", &SequencerFades::pan, 65.0, 1.0},
    {"pan", &SequencerFades::pan, 100.0, 0.0},
    {"pan", &SequencerFades::pan, 165.0, 0.6},
    {"contour fans", &SequencerFades::contourFans, 65.0, 0.0},
    {"contour fans", &SequencerFades::contourFans, 70.0, 0.75},
    {"contour fans", &SequencerFades::contourFans, 107.0, 1.0},
    {"contour fans", &SequencerFades::contourFans, 111.0, 0.0},
    {"shimmer", &SequencerFades::shimmer, 93.0, 0.0},
    {"shimmer", &SequencerFades::shimmer, 102.5, 0.95},
    {"shimmer", &SequencerFades::shimmer, 103.2, 0.0},
    {"ribbons", &SequencerFades::ribbons, 89.0, 1.0},
    {"ribbons", &SequencerFades::ribbons, 106.2, 0.0},
    {"ribbons", &SequencerFades::ribbons, 125.5, 0.7},
    {"ribbons", &SequencerFades::ribbons, 189.7, 0.0},
    {"lettering f1", &SequencerFades::lettering1, 4.0, 0.0},
    {"lettering f1", &SequencerFades::lettering1, 48.0, 1.0},
    {"lettering f1", &SequencerFades::lettering1, 68.0, 0.0},
    {"lettering f1", &SequencerFades::lettering1, 122.5, 1.0},
    {"lettering f1", &SequencerFades::lettering1, 131.0, 0.0},
    {"lettering f2", &SequencerFades::lettering2, 26.0, 1.0},
    {"lettering f2", &SequencerFades::lettering2, 43.0, 0.0},
    {"mosaic", &SequencerFades::mosaic, 160.0, 0.0},
    {"mosaic", &SequencerFades::mosaic, 165.0, 1.0},
    {"mosaic", &SequencerFades::mosaic, 184.0, 0.0},
    {"arcs", &SequencerFades::arcs, 0.0, 0.0},
    {"arcs", &SequencerFades::arcs, 89.0, 1.0},
    {"arcs", &SequencerFades::arcs, 95.0, 0.0},
    {"arcs", &SequencerFades::arcs, 104.5, 1.0},
    {"quadtrees", &SequencerFades::quadtrees, 0.0, 0.4},
    {"quadtrees", &SequencerFades::quadtrees, 50.0, 0.0},
    {"quadtrees", &SequencerFades::quadtrees, 105.0, 1.0},
    {"quadtrees", &SequencerFades::quadtrees, 145.0, 0.5},
    {"quadtrees", &SequencerFades::quadtrees, 178.4, 0.0},
    {"triangulation", &SequencerFades::triangulation, 0.0, 0.2},
    {"triangulation", &SequencerFades::triangulation, 78.0, 0.1},
    {"triangulation", &SequencerFades::triangulation, 145.0, 1.0},
    {"triangulation", &SequencerFades::triangulation, 177.0, 0.0},
    {"spikes", &SequencerFades::spikes, 0.0, 0.0},
    {"spikes", &SequencerFades::spikes, 10.0, 1.0},
    {"spikes", &SequencerFades::spikes, 145.0, 0.0},
};

}  // namespace

TEST(SequencerTimetable, EveryFadeAtItsTimes) {
    for (const FadeAt& c : kTimetable) {
        const SequencerFades f = sequencerFades(c.time);
        EXPECT_NEAR(f.*c.fade, c.expected, 0.006) << c.element << " at " << c.time << " s";
    }
}

TEST(SequencerTimetable, ModeFromCameraZ) {
    const struct {
        double z;
        int mode;
    } cases[] = {{0.0, 0},  {0.39, 1}, {0.45, 2}, {0.7, 0},  {0.19, 0},
                 {-0.3, -1}, {-0.1, 0}, {std::numeric_limits<double>::quiet_NaN(), -1}};
    for (const auto& c : cases) EXPECT_EQ(sceneMode(c.z), c.mode) << "z = " << c.z;
}
