// Pen pressure rules: scaling a raw reading, what events leave behind, and
// the frame's strength factor.
#include "tools/pen.h"
#include <gtest/gtest.h>
#include "base/input.h"

// Rounded onto 0..255; readings outside the axis are held to it, and an
// empty axis must not divide by zero. 0..1 is libinput's axis.
TEST(Pen, RawReadingScalesToByteRangeRounded) {
    const struct {
        double raw, low, high;
        i32 expected;
    } cases[] = {{0, 0, 1023, 0},   {1023, 0, 1023, 255}, {512, 0, 1023, 128}, {0.5, 0, 1, 128},
                 {-20, 0, 1023, 0}, {5000, 0, 1023, 255}, {3, 7, 7, 0}};
    for (auto c : cases)
        EXPECT_EQ(ScalePenPressure(c.raw, c.low, c.high), c.expected) << c.raw << " of " << c.high;
}

// A touch stores the reading + 1 (at most 255), an event without buttons
// keeps it; a mouse click with no pen pressure reads -1, which counts as
// full; near the tablet the factor is reading / 255, away from it 1.
TEST(Pen, EventsLeaveTheirPressureAndTheFrameReadsItOnlyNearTheTablet) {
    const struct {
        void (*event)();
        i32 pressure;
        f32 factor;
    } steps[] = {
        {[] { PenProximity(1); }, 0, 0},
        {[] { PenMouseDown(); }, -1, 1},
        {[] { PenMouseUp(); }, 0, 0},
        {[] { PenPacket(1, 99); }, 100, 100 / 255.0f},
        {[] { PenPacket(0, 10); }, 100, 100 / 255.0f},
        {[] { PenMouseDown(); }, 100, 100 / 255.0f},
        {[] { PenPacket(4, 255); }, 255, 1},
        {[] { PenProximity(0); }, 255, 1},
        {[] { PenPacket(2, 49); }, 50, 1},
    };
    tabletPressure = penInProximity = 0;
    for (i32 i = 0; i < (i32)std::size(steps); i++) {
        steps[i].event();
        EXPECT_EQ(tabletPressure, steps[i].pressure) << "step " << i;
        EXPECT_NEAR(PenPressureForFrame(), steps[i].factor, 1e-6f) << "step " << i;
    }
    tabletPressure = penInProximity = 0;
}
