// The preview's frame-time figures: the last few seconds of frames (CPU and GL, split as the
// show benchmark splits them: the CPU time of the show's thread in the frame step, and the GL
// time, the step's wall time this thread did not spend plus the glFinish), and every frame's
// whole time filed under each section of the timetable its show time falls in.
#pragma once

#include <array>
#include <deque>
#include <vector>

#include "scenes/timetable.h"
#include "tools/figures/figures.h"

namespace ostravel {

struct RunFrame;

struct FrameTimeSample {
    double wall;   // seconds, steady clock, when the frame ended
    float cpuMs;
    float glMs;
};

class FrameTimes {
public:
    static constexpr double kWindowSeconds = 5.0;

    void add(const RunFrame& frame, double wallNow);
    const std::deque<FrameTimeSample>& recent() const { return recent_; }
    // Median, p99 and maximum of the frames filed under a section (whole frame, ms).
    FigureSummary sectionFigures(size_t section) const { return summariseSorted(sections_[section]); }
    size_t sectionFrames(size_t section) const { return sections_[section].size(); }

private:
    std::deque<FrameTimeSample> recent_;
    std::array<std::vector<double>, kTimetable.size()> sections_;  // each kept sorted: read every frame
};

// The section a show time is in: of those that hold it, the one begun last (the shorter of two
// begun together). kTimetable.size() when none does.
size_t currentSection(double showTime);

}  // namespace ostravel
