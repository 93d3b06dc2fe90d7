// What the on-screen interface records for the frame logic, and what the
// frame logic hands back to it: button clicks, the pointer, the press edge,
// whether the pointer is over the interface, the pop-up anchor and the
// detail and material sliders, the frame statistics the overlay shows, and
// what the frame logic asks of the renderer. Plain data only: the interface
// logic (app/guilogic.cpp) lays out, hit-tests and writes these records each
// frame; the interface pass (render/gui.cpp) only draws them; FrameLogic
// reads the flags one frame later.
#pragma once
#include "base/base.h"

// Button indices in the panel: 7 rows of 3, index = row x 3 + column.
enum GuiButtonIndex {
    BUTTON_CREASE,
    BUTTON_ROTATE,
    BUTTON_SCALE,
    BUTTON_DRAW,
    BUTTON_FLATTEN,
    BUTTON_GRAB,
    BUTTON_INFLATE,
    BUTTON_PINCH,
    BUTTON_SMOOTH,
    BUTTON_REDUCE_DETAIL,
    BUTTON_EMPTY1,
    BUTTON_EMPTY2,
    BUTTON_MASK,
    BUTTON_WIREFRAME,
    BUTTON_SYMMETRY,
    BUTTON_NEW_SPHERE,
    BUTTON_NEW_PLANE,
    BUTTON_IMPORT,
    BUTTON_SAVE,
    BUTTON_OPEN,
    BUTTON_EXPORT,
    GUI_PLACED_BUTTONS,
    GUI_BUTTON_COUNT = 40
};

struct GuiButton {
    u8 used;         // placed this frame
    i32 icon;        // icon cell drawn on the face, 0 = none
    u8 hover;        // pointer hovers it (cleared every frame)
    u8 held;         // pressed and still held over it (cleared every frame)
    u8 clicked;      // released over the button it was pressed on this frame
    Vec3 position;   // centre, pixels
    Vec3 color;      // face colour
    f32 scale;       // size factor
    u8 drawn;        // drawn already in this frame's sorted pass
    i32 glow;        // label fade counter 0..15
    char label[32];  // shown beside the button while it glows
};

// Labels and icons set by InitGuiButtons; the rest written by UpdateGui each
// frame. clicked is read by the frame logic one frame later.
extern GuiButton guiButtons[GUI_BUTTON_COUNT];
extern i32 pressedButton;  // button the left press began on, -1 none; by UpdateGui
extern i32 activeSlider;   // GuiSlider being dragged; by UpdateGui
extern f32 popupAlpha;     // radial pop-up fade, -0.3 .. 1 (shown above 0); by UpdateGui
extern f32 materialPos;    // material slider 0..1; by UpdateGui

enum GuiSlider { SLIDER_NONE = -1, SLIDER_SIZE, SLIDER_STRENGTH, SLIDER_DETAIL, SLIDER_MATERIAL };

// Display names and header icon cells, indexed by tool id.
extern const char* const toolNames[11];
extern const i32 toolIconCells[11];

// ---- the pointer as the interface sees it: the view control writes these
extern Vec3 guiPointer;      // pixels, x = -1000 when the pointer reads (0, 0)
extern u8 guiButtonHeld;     // left button down
extern u8 guiButtonPressed;  // left button went down this frame; UpdateGui clears it
// ---- what the interface logic finds (UpdateGui); the brush engine sets
// pointerOverGui too while Alt resizes the brush, and the frame logic clears
// it at its end, so a frame without the interface logic (headless) sees 0
extern u8 pointerOverGui;   // pointer over the interface
extern u8 guiCaptured;      // a press began over the interface; cleared on release
extern i32 popupCenter[2];  // pixels: where the radial pop-up opens; set by the brush update
// Detail slider 0..1, detailBias = 0.1 + 1.9 x detailPos; set by the Tab
// command, InitGuiButtons and the detail sliders (UpdateGui).
extern f32 detailPos;
// Material shown and loaded, 0-based; set by UpdateMaterial and the
// material slider (UpdateGui).
extern i32 selectedMaterial;
// Material images found (CountMaterials), counted once by UpdateMaterial in
// the first frame.
extern i32 materialCount;

// ---- requests to the renderer: the frame logic cannot touch GL, so it
// raises these and the renderer serves them at the start of its next frame
extern u8 shaderRebuildWanted;  // set by K; the renderer rebuilds its programs and clears it
extern u8 materialImageWanted;  // set by a material change; the renderer loads the image, clears it
extern char materialImageName[32];  // "data/material%i.png" of the selected material (under appDir)

// ---- frame statistics the overlay shows
extern f32 framesPerSecond;      // frames in the last interval of >= 1 s; by DrawFrame
extern f32 sleepsPerFrame;       // pacing sleeps in that interval / fps; by DrawFrame
extern f32 frameFactor;          // 30 / fps, 1 until measured: animations scale by it; by DrawFrame
extern f32 brushStepsPerSecond;  // brush steps per second of stroke time; by DrawFrame
extern i32 strokeStepCount;      // ApplyTool calls of the frame logic, counted there

// Clears every interface flag and puts the pop-up anchor back (start-up, tests).
void ResetGuiState();
