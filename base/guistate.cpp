// Storage of the interface state the frame logic and the interface pass share.
#include "base/guistate.h"
#include <cstring>

GuiButton guiButtons[GUI_BUTTON_COUNT];
Vec3 guiPointer;
u8 guiButtonHeld, guiButtonPressed, pointerOverGui, guiCaptured;
i32 popupCenter[2] = {300, 300};
i32 pressedButton = -1;
i32 activeSlider = SLIDER_NONE;
f32 popupAlpha = -0.3f;
f32 materialPos;
f32 framesPerSecond, sleepsPerFrame, brushStepsPerSecond;
f32 frameFactor = 1;
i32 strokeStepCount;
f32 detailPos;
i32 selectedMaterial;
i32 materialCount;
u8 shaderRebuildWanted;
u8 materialImageWanted;
char materialImageName[32];

const char* const toolNames[11] = {"DRAW", "SMOOTH", "GRAB",   "INFLATE", "FLATTEN",      "PINCH",
                                   "MASK", "CREASE", "ROTATE", "SCALE",   "REDUCE DETAIL"};
// Cells of the icon atlas (data/gui_buttons2.png), 16 to a row.
const i32 toolIconCells[11] = {3, 6, 8, 4, 7, 5, 10, 11, 12, 13, 26};

void ResetGuiState() {
    memset(guiButtons, 0, sizeof guiButtons);
    guiPointer = {0, 0, 0};
    guiButtonHeld = guiButtonPressed = pointerOverGui = guiCaptured = 0;
    popupCenter[0] = popupCenter[1] = 300;
    pressedButton = -1;
    activeSlider = SLIDER_NONE;
    popupAlpha = -0.3f;
}
