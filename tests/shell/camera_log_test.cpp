#include <gtest/gtest.h>

#include "app/camera_log.h"

using namespace ostravel;

TEST(CameraLineFormat, GcvtSixDigitStyle) {
    EXPECT_EQ(formatCameraNumber(1.5), "1.5");
    EXPECT_EQ(formatCameraNumber(-2.0), "-2.");
    EXPECT_EQ(formatCameraNumber(0.25), "0.25");
    EXPECT_EQ(formatCameraNumber(0.0), "0.");
    EXPECT_EQ(formatCameraNumber(0.2), "0.2");
    EXPECT_EQ(formatCameraNumber(123456.0), "123456.");
    EXPECT_EQ(formatCameraNumber(1234567.0), "1.23457e+006");
    EXPECT_EQ(formatCameraNumber(0.1234567), "0.123457");
    EXPECT_EQ(formatCameraNumber(0.05), "5.e-002");
    EXPECT_EQ(formatCameraNumber(-0.001234), "-1.234e-003");
    EXPECT_EQ(formatCameraNumber(999999.7), "1.e+006") << "rounding moves the exponent";
    EXPECT_EQ(formatCameraNumber(0.0999999999), "0.1");
}

TEST(CameraLineFormat, TwoAppendsPerClick) {
    std::string log;
    const double camera[3] = {1.5, -2.0, 0.25};
    appendCameraLines(log, camera, 0.0, 0.0, 0.2);
    EXPECT_EQ(log, "Cam :1.5,-2.,0.25  \nPnt :0.,0.,0.2  \n \n");
    appendCameraLines(log, camera, 1.0, 2.0, 3.0);
    EXPECT_EQ(log, "Cam :1.5,-2.,0.25  \nPnt :0.,0.,0.2  \n \nCam :1.5,-2.,0.25  \nPnt :1.,2.,3.  \n \n");
}
