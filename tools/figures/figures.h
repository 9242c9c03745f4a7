// Median, 99th percentile and maximum of a series of timings, as the capture tool and the
// benchmarks report them: nearest rank (the smallest value at or above the fraction p of the
// sorted series), so every figure is a time that was measured.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

namespace ostravel {

struct FigureSummary {
    double median = 0.0;
    double p99 = 0.0;
    double max = 0.0;
};

// p in (0, 1]; an empty series gives 0.
inline double nearestRank(const std::vector<double>& sorted, double p) {
    if (sorted.empty()) return 0.0;
    const double rank = std::ceil(p * double(sorted.size()));
    return sorted[std::min(sorted.size() - 1, static_cast<size_t>(std::max(rank, 1.0)) - 1)];
}

inline FigureSummary summariseSorted(const std::vector<double>& sorted) {
    return {nearestRank(sorted, 0.5), nearestRank(sorted, 0.99), sorted.empty() ? 0.0 : sorted.back()};
}

inline FigureSummary summarise(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return summariseSorted(values);
}

}  // namespace ostravel
