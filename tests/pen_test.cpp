// Pen pressure rules: scaling a raw reading, what a pen event with and
// without buttons leaves behind, the mouse's -1, and the frame's factor.
#include "tools/pen.h"
#include <gtest/gtest.h>
#include "base/input.h"

class PenTest : public ::testing::Test {
protected:
    void SetUp() override { tabletPressure = penInProximity = 0; }
    void TearDown() override { SetUp(); }
};

// Rounded onto 0..255; readings outside the axis are held to it, and an
// empty axis must not divide by zero. 0..1 is libinput's axis.
TEST_F(PenTest, RawReadingScalesToByteRangeRounded) {
    struct {
        double raw, low, high;
        i32 expected;
    } cases[] = {{0, 0, 1023, 0},   {1023, 0, 1023, 255}, {512, 0, 1023, 128}, {0.5, 0, 1, 128},
                 {-20, 0, 1023, 0}, {5000, 0, 1023, 255}, {3, 7, 7, 0}};
    for (auto c : cases)
        EXPECT_EQ(ScalePenPressure(c.raw, c.low, c.high), c.expected) << c.raw << " of " << c.high;
}

TEST_F(PenTest, EventWithoutButtonsLeavesPressureAndTouchAddsOneUpTo255) {
    PenPacket(1, 99);
    EXPECT_EQ(tabletPressure, 100);
    PenPacket(0, 10);
    EXPECT_EQ(tabletPressure, 100);
    PenPacket(4, 255);
    EXPECT_EQ(tabletPressure, 255);
}

// A mouse click after the pen lifted reads -1, which counts as full pressure;
// away from the tablet any reading counts as 1; near it, reading / 255.
TEST_F(PenTest, PressureIsFullForTheMouseAndAwayFromTheTablet) {
    penInProximity = 1;
    PenMouseDown();
    EXPECT_EQ(tabletPressure, -1);
    EXPECT_EQ(PenPressureForFrame(), 1.0f);
    PenMouseUp();
    EXPECT_EQ(PenPressureForFrame(), 0.0f);  // hovering pen: no strength
    PenPacket(1, 50);
    PenMouseDown();  // the pen's own press already reported pressure
    EXPECT_EQ(tabletPressure, 51);
    tabletPressure = 128;
    EXPECT_NEAR(PenPressureForFrame(), 128 * 0.003921569f, 1e-6f);
    PenProximity(0);
    EXPECT_EQ(PenPressureForFrame(), 1.0f);
    PenProximity(1);
    tabletPressure = 255;
    EXPECT_NEAR(PenPressureForFrame(), 1.0f, 1e-6f);
}
