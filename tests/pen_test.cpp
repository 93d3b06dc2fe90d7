// Pen pressure rules: scaling a raw reading, what a pen event with and
// without buttons leaves behind, the mouse's -1, and the frame's factor.
#include <gtest/gtest.h>
#include "app/input.h"
#include "app/pen.h"

class PenTest : public ::testing::Test {
protected:
    void SetUp() override {
        tabletPressure = 0;
        penInProximity = 0;
    }
    void TearDown() override { SetUp(); }
};

TEST_F(PenTest, RawReadingScalesToByteRangeRounded) {
    EXPECT_EQ(ScalePenPressure(0, 0, 1023), 0);
    EXPECT_EQ(ScalePenPressure(1023, 0, 1023), 255);
    EXPECT_EQ(ScalePenPressure(512, 0, 1023), 128);  // 127.6
    EXPECT_EQ(ScalePenPressure(0.5, 0, 1), 128);     // libinput's 0..1 axis
    EXPECT_EQ(ScalePenPressure(-20, 0, 1023), 0);    // readings outside the axis are held to it
    EXPECT_EQ(ScalePenPressure(5000, 0, 1023), 255);
    EXPECT_EQ(ScalePenPressure(3, 7, 7), 0);         // an empty axis must not divide by zero
}

TEST_F(PenTest, EventWithoutButtonsLeavesPressureAndTouchAddsOneUpTo255) {
    PenPacket(1, 99);
    EXPECT_EQ(tabletPressure, 100);
    PenPacket(0, 10);
    EXPECT_EQ(tabletPressure, 100);
    PenPacket(4, 255);
    EXPECT_EQ(tabletPressure, 255);
}

TEST_F(PenTest, MouseClickAfterLiftedPenReadsFullPressure) {
    penInProximity = 1;
    PenMouseDown();
    EXPECT_EQ(tabletPressure, -1);
    EXPECT_EQ(PenPressureForFrame(), 1.0f);
    PenMouseUp();
    EXPECT_EQ(PenPressureForFrame(), 0.0f);  // hovering pen: no strength
    PenPacket(1, 50);
    PenMouseDown();  // the pen's own press already reported pressure
    EXPECT_EQ(tabletPressure, 51);
}

TEST_F(PenTest, PressureCountsOnlyWhileThePenIsNear) {
    tabletPressure = 128;
    EXPECT_EQ(PenPressureForFrame(), 1.0f);
    PenProximity(1);
    EXPECT_NEAR(PenPressureForFrame(), 128 / 255.0f, 1e-6f);
    tabletPressure = 255;
    EXPECT_NEAR(PenPressureForFrame(), 1.0f, 1e-6f);
    PenProximity(0);
    tabletPressure = 3;
    EXPECT_EQ(PenPressureForFrame(), 1.0f);
}
