#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <vector>

#include "production/camera_path.h"

using namespace ostravel;

namespace {

void putDouble(std::vector<uint8_t>& bytes, double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

std::vector<uint8_t> track(std::initializer_list<TrackRecord> records) {
    std::vector<uint8_t> bytes;
    for (const TrackRecord& r : records) {
        putDouble(bytes, r.time);
        putDouble(bytes, r.first);
        putDouble(bytes, r.second);
    }
    return bytes;
}

}  // namespace

TEST(TrackResampling, OneRecordFillsUpToItsTime) {
    Spline path;
    const double end = resampleTrack(track({{2.5, 7.0, -3.0}}), path);
    ASSERT_EQ(path.count, 250);
    EXPECT_EQ(path.points.size(), 250u);
    for (const Vec3& p : path.points) {
        EXPECT_EQ(p.x, 2.5f);
        EXPECT_EQ(p.y, 7.0f);
        EXPECT_EQ(p.z, -3.0f);
    }
    EXPECT_NEAR(end, 2.5, 1e-12);
}

TEST(TrackResampling, RemaindersCarryOverInWholeHundredths) {
    Spline path;
    const double end = resampleTrack(track({{0.004, 1.0, 2.0}, {0.013, 5.0, 6.0}}), path);
    ASSERT_EQ(path.count, 1);
    EXPECT_EQ(path.points[0].y, 1.0f) << "the point is the first record's value";
    EXPECT_NEAR(end, 0.01, 1e-12);
}

TEST(TrackResampling, InterpolatesLinearlyAndIgnoresBackwardsTime) {
    Spline path;
    resampleTrack(track({{0.0, 0.0, 0.0}, {1.0, 10.0, 0.0}, {0.5, 99.0, 99.0}, {2.0, 20.0, 0.0}}), path);
    ASSERT_EQ(path.count, 200);
    EXPECT_NEAR(path.points[50].y, 5.0f, 1e-5);
    // The backwards record appends nothing but becomes the start of the next stretch.
    EXPECT_NEAR(path.points[100].y, 99.0f, 1e-4);
    EXPECT_NEAR(path.points[199].y, 99.0 + (20.0 - 99.0) * 0.99, 1e-3);
}

TEST(TrackResampling, DamagedInputStaysBounded) {
    Spline path;
    std::vector<uint8_t> bytes = track({{1.0, 1.0, 1.0}});
    bytes.resize(bytes.size() + 13, 0xff);  // a truncated last record
    resampleTrack(bytes, path);
    EXPECT_EQ(path.count, 100);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    resampleTrack(track({{nan, 1, 1}, {0.5, inf, 1}, {1.0, 2.0, 3.0}}), path);
    EXPECT_EQ(path.count, 100) << "records with non-finite numbers are skipped";
    EXPECT_EQ(path.points[0].y, 2.0f);

    const double end = resampleTrack(track({{1e12, 1, 1}, {2e12, 2, 2}}), path);
    EXPECT_EQ(path.count, kMaxSplinePoints) << "a jump far ahead stops at what the spline can address";
    EXPECT_TRUE(std::isfinite(end));
}

TEST(CameraPathFile, MissingEmptyAndSampling) {
    CameraPathTimes times;
    Spline path;
    loadCameraPath(times, path, "no-such-track.rcc");
    EXPECT_EQ(path.count, 0);
    double a = 1.0, b = 2.0, c = 3.0;
    sampleCameraPath(times, path, 5.0, a, b, c);
    EXPECT_EQ(b, 2.0) << "an empty path leaves the outputs as they were";

    const auto file = std::filesystem::temp_directory_path() / "ostravel-track-test.rcc";
    {
        std::ofstream out(file, std::ios::binary);
        const auto bytes = track({{0.0, 0.0, 0.0}, {1.0, 100.0, -100.0}});
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    times.start = 9.0;
    loadCameraPath(times, path, file.string().c_str());
    EXPECT_EQ(times.start, 0.0);
    EXPECT_NEAR(times.end, 1.0, 1e-12);
    ASSERT_EQ(path.count, 100);

    sampleCameraPath(times, path, 0.0, a, b, c);
    EXPECT_EQ(b, 2.0) << "time 0 is not after the start time";
    sampleCameraPath(times, path, 0.5, a, b, c);
    EXPECT_NEAR(b, 50.0, 1e-3);
    EXPECT_NEAR(c, -50.0, 1e-3);
    // Closed path: one second past the end is back at the start of the loop.
    double b2 = 0.0;
    sampleCameraPath(times, path, 1.5, a, b2, c);
    EXPECT_NEAR(b2, 50.0, 1e-3);

    std::ofstream(file, std::ios::binary | std::ios::trunc).close();
    loadCameraPath(times, path, file.string().c_str());
    EXPECT_EQ(path.count, 0);
    std::filesystem::remove(file);
}
