// Storage of the input globals.
#include "base/input.h"

i32 mouseX = -1000, mouseY;
i32 mouseDownX, mouseDownY;
volatile u8 quitRequested;
u8 windowResized;
u8 typedChar;
i32 frameMouseX, frameMouseY;
u8 mouseLeft, mouseRight, mouseMiddle;
i32 mouseWheel;
u8 penInProximity;
i32 tabletPressure;
u8 keysHeld[256];
u8 keysPressed[256];
static void NoDevices() {}
void (*PollInputDevices)() = NoDevices;
u8 shiftHeld, ctrlHeld, altHeld, spaceHeld;
f32 penPressure = 1;
