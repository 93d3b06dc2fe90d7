// View control: the first half of every frame. Wheel and keypad edit the
// zoom or the current tool's size and strength; drags rotate, pan or zoom;
// the pointer bookkeeping and the view axes that the brush, the interface
// and the renderer read are derived here once per frame.
// Writes the view globals of base/view.h, toolSize/toolStrength, the
// interface pointer and press edge, and cuts a stroke when the view moves.
#include "app/viewcontrol.h"
#include <cmath>
#include "base/guistate.h"
#include "base/input.h"
#include "base/settings.h"
#include "base/view.h"
#include "tools/brush.h"

f32 zoomBlend;
i32 prevWheel;
u8 numpadLatch;
i32 prevFrameMouseX, prevFrameMouseY;

void ResetViewControl() {
    zoomBlend = 0;
    prevWheel = mouseWheel;
    numpadLatch = 0;
    frameMouseX = frameMouseY = prevFrameMouseX = prevFrameMouseY = 0;
}

static f32 Clamp01(f32 v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

// One step per press: a held key gives a single step. With both keys held
// the plus test sets the latch first, so minus gives nothing.
static i32 KeypadStep() {
    i32 step = 0;
    bool plus = keysHeld[KEY_KP_PLUS], minus = keysHeld[KEY_KP_MINUS];
    if (plus) {
        if (!numpadLatch) step = 1;
        numpadLatch = 1;
    }
    if (minus) {
        if (!numpadLatch) step = -1;
        numpadLatch = 1;
    }
    if (!plus && !minus) numpadLatch = 0;
    return step;
}

static void ApplyStep(i32 direction) {
    f32 delta = 0.1f * (f32)direction;
    if (shiftHeld) {
        toolSize[currentTool] = Clamp01(toolSize[currentTool] + delta);
    } else if (ctrlHeld) {
        toolStrength[currentTool] = Clamp01(toolStrength[currentTool] + delta);
    } else {
        zoomTarget *= direction > 0 ? 1.2f : 0.8333333f;
        if (zoomBlend == 1.0f) zoomBlend = 0;  // a settled zoom accelerates again
    }
}

static void WheelAndKeypad() {
    i32 keyStep = KeypadStep();
    i32 wheel = mouseWheel;
    i32 delta = wheel - prevWheel;
    if (delta == 0 && keyStep == 0) {
        prevWheel = wheel;
        return;
    }
    i32 direction = wheel >= prevWheel ? 1 : -1;
    i32 steps = delta < 0 ? -delta : delta;
    prevWheel = wheel;
    if (keyStep != 0) {
        direction = keyStep;
        steps = (shiftHeld || ctrlHeld) ? 1 : 2;
    }
    for (i32 i = 0; i < steps; i++) ApplyStep(direction);
}

static void SmoothZoom() {
    if (ctrlHeld && altHeld && mouseLeft) zoomTarget *= 1 + 0.004f * (f32)(mouseY - frameMouseY);
    zoomBlend += 0.1f;
    if (zoomBlend > 0.6f) zoomBlend = 0.6f;
    zoom += (zoomTarget - zoom) * zoomBlend;
    if (std::fabs(zoomTarget / zoom - 1) < 0.01f) zoomBlend = 1.0f;
}

static void TrackPointer() {
    prevFrameMouseX = frameMouseX;
    prevFrameMouseY = frameMouseY;
    frameMouseX = mouseX;
    frameMouseY = mouseY;
    if (mouseX == 0 && mouseY == 0) frameMouseX = -1000;
    guiPointer = {(f32)frameMouseX, (f32)mouseY, 0};
    if (mouseLeft && !guiButtonHeld) guiButtonPressed = 1;
    guiButtonHeld = mouseLeft;
}

enum ViewDrag { DRAG_NONE, DRAG_ROTATE, DRAG_PAN };

static ViewDrag ChooseDrag() {
    if (mouseMiddle) return (shiftHeld || spaceHeld) ? DRAG_PAN : DRAG_ROTATE;
    if (mouseLeft && spaceHeld) return shiftHeld ? DRAG_PAN : DRAG_ROTATE;
    if (mouseRight && spaceHeld && !mouseLeft) return DRAG_PAN;
    return DRAG_NONE;
}

static void RotateOrPan() {
    ViewDrag drag = ChooseDrag();
    if (drag == DRAG_NONE) return;
    f32 dx = (f32)(frameMouseX - prevFrameMouseX);
    f32 dy = (f32)(frameMouseY - prevFrameMouseY);
    if (drag == DRAG_ROTATE) {
        // Zoomed in, the view turns slower so the surface under the pointer
        // keeps pace with it; zoomed out it never turns faster than at zoom 1.
        f32 k = 1 / zoom;
        if (k > 1) k = 1;
        viewYaw += dx * k * 0.33333334f;
        viewPitch += dy * k * 0.33333334f;
    } else {
        viewOffset.x += dx * -0.5f;
        viewOffset.y += dy * 0.5f;
    }
    // A moving view would smear the stroke across the surface.
    CancelStroke();
}

// Rotates a start vector about x by a, then about y by b.
static Vec3 RotateAxis(Vec3 v, f32 a, f32 b) {
    f32 ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
    Vec3 p = {v.x, v.y * ca + v.z * sa, v.z * ca - v.y * sa};
    return {p.x * cb + p.z * sb, p.y, p.z * cb - p.x * sb};
}

void UpdateViewAxes() {
    f32 a = viewPitch * DEGREES, b = -viewYaw * DEGREES;
    viewDown = RotateAxis({0, -1, 0}, a, b);
    viewRight = RotateAxis({1, 0, 0}, a, b);
    viewToward = RotateAxis({0, 0, 1}, a, b);
}

void ViewControl() {
    WheelAndKeypad();
    SmoothZoom();
    TrackPointer();
    RotateOrPan();
    UpdateViewAxes();
}

void SetLightFromPointer() {
    i32 halfW = windowWidth / 2, halfH = windowHeight / 2;
    if (halfW == 0 || halfH == 0) return;  // a collapsed window has no centre to aim from
    lightWeights[0] = 2 * (f32)(frameMouseX - halfW) / (f32)halfW;
    lightWeights[1] = 2 * (f32)(frameMouseY - halfH) / (f32)(-halfH);
    lightWeights[2] = 1.0f;
}
