#include "tools/preview/frame_times.h"

#include <algorithm>

#include "app/runner.h"

namespace ostravel {

void FrameTimes::add(const RunFrame& f, double wallNow) {
    const double cpu = f.stepCpuSeconds;
    const double gl = f.glSeconds();
    recent_.push_back({wallNow, float(1e3 * cpu), float(1e3 * gl)});
    while (!recent_.empty() && recent_.front().wall < wallNow - kWindowSeconds) recent_.pop_front();
    const double whole = 1e3 * f.wholeSeconds();
    for (size_t s = 0; s < kTimetable.size(); ++s)
        if (f.showTime >= kTimetable[s].start && f.showTime < kTimetable[s].end) {
            std::vector<double>& times = sections_[s];
            times.insert(std::upper_bound(times.begin(), times.end(), whole), whole);
        }
}

size_t currentSection(double t) {
    size_t found = kTimetable.size();
    for (size_t s = 0; s < kTimetable.size(); ++s) {
        const ShowSection& c = kTimetable[s];
        if (t < c.start || t >= c.end) continue;
        if (found == kTimetable.size()) {
            found = s;
            continue;
        }
        const ShowSection& f = kTimetable[found];
        if (c.start > f.start || (c.start == f.start && c.end - c.start < f.end - f.start)) found = s;
    }
    return found;
}

}  // namespace ostravel
