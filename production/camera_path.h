// Camera paths: recorded ".rcc" tracks resampled to 100 points per second and played back with
// the Catmull-Rom spline.
//
// File format: a flat run of 24-byte records, no header: time (s), first value, second value,
// each an IEEE-754 little-endian double. Point k of a path stands for time k / 100 s; between
// records the points lie on straight lines, before the first record they equal it.
//
// Limits: a path holds at most kMaxSplinePoints points (327.67 s); a record whose time jumps
// beyond that appends only up to the limit. A record holding a NaN or infinite number is skipped.
// A truncated last record is ignored. A missing file leaves the path empty, and sampling an
// empty path leaves the outputs unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "math/spline.h"

namespace ostravel {

struct TrackRecord {
    double time;
    double first;
    double second;
};

constexpr size_t kTrackRecordBytes = 24;

// Decodes whole records from the bytes (a trailing partial record is dropped) and resamples them
// into the path; returns the running time the path ends at.
double resampleTrack(std::span<const uint8_t> bytes, Spline& path);

// When the paths play: one start and end time shared by the Demo's paths (the track loaded last
// sets the end).
struct CameraPathTimes {
    double start = 0.0;
    double end = 0.0;
};

// Loads a track file into the path: the start time becomes 0 and the end time the one of this
// track. A file that cannot be opened leaves the path empty and the times as they were.
void loadCameraPath(CameraPathTimes& times, Spline& path, const char* fileName);

// At times after the start time, writes the point at t (record time, first, second value);
// otherwise, or when the path is empty, leaves the outputs as they were.
void sampleCameraPath(const CameraPathTimes& times, const Spline& path, double t, double& time, double& first,
                      double& second);

}  // namespace ostravel
