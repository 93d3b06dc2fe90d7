// Storage of the interface state the frame logic and the interface pass share.
#include "base/guistate.h"
#include <cstring>

GuiButton guiButtons[GUI_BUTTON_COUNT];
Vec3 guiPointer;
u8 guiButtonHeld, guiButtonPressed, pointerOverGui, guiCaptured;
i32 popupCenter[2] = {300, 300};
f32 detailPos;
i32 selectedMaterial;
i32 materialCount;
u8 shaderRebuildWanted;
u8 materialImageWanted;
char materialImageName[32];

void ResetGuiState() {
    memset(guiButtons, 0, sizeof guiButtons);
    guiPointer = {0, 0, 0};
    guiButtonHeld = guiButtonPressed = pointerOverGui = guiCaptured = 0;
    popupCenter[0] = popupCenter[1] = 300;
}
