// Storage of the input globals.
#include "app/input.h"

i32 mouseX = -1000, mouseY;
i32 mouseDownX, mouseDownY;
u8 mouseLeft, mouseRight, mouseMiddle;
i32 mouseWheel;
u8 penInProximity;
i32 tabletPressure;
f32 framesPerSecond, sleepsPerFrame, frameFactor = 1, brushApplicationsPerSecond;
i32 brushApplicationCount;
u8 keysHeld[256];
static void NoDevices() {}
void (*PollInputDevices)() = NoDevices;
u8 shiftHeld, ctrlHeld, altHeld, spaceHeld;
f32 penPressure = 1;
