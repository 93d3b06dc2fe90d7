// The interface's logic: every frame it finds whether the pointer is over
// the interface, drags the top bar's sliders or the radial pop-up's, lays
// out the swelling button grid, hit-tests it and steps each button's press
// state. Writes guiButtons, pointerOverGui, guiCaptured, activeSlider,
// popupAlpha, the tool's size and strength, detailBias and the material;
// never draws.
#include "app/guilogic.h"
#include <cmath>
#include <cstdio>
#include "base/guistate.h"
#include "base/settings.h"
#include "tools/brush.h"

// Button labels in grid order (row x 3 + column); 10 and 11 have none.
static const char* const buttonLabels[GUI_PLACED_BUTTONS] = {
    "CREASE [E]",
    "ROTATE [R]",
    "SCALE [T]",
    "DRAW [D]",
    "FLATTEN [F]",
    "GRAB [G]",
    "INFLATE [C]",
    "PINCH [V]",
    "SMOOTH [B]",
    "REDUCE DETAIL [X]",
    "",
    "",
    "MASK [M]",
    "WIREFRAME [W]",
    "SYMMETRY",
    "NEW SPHERE",
    "NEW PLANE",
    "IMPORT OBJ",
    "SAVE [CTRL+(SHIFT)+S]",
    "OPEN [CTRL+O]",
    "EXPORT OBJ [CTRL+E]",
};
// The tool each of buttons 0 .. 9 selects; its icon is the tool's.
static const i32 buttonTools[10] = {TOOL_CREASE,  TOOL_ROTATE,       TOOL_SCALE,   TOOL_DRAW,
                                    TOOL_FLATTEN, TOOL_GRAB,         TOOL_INFLATE, TOOL_PINCH,
                                    TOOL_SMOOTH,  TOOL_REDUCE_DETAIL};
// Icon cells of buttons 10 .. 20 (the two empty places have none).
static const i32 otherIcons[GUI_PLACED_BUTTONS - 10] = {0, 0, 10, 9, 19, 20, 21, 25, 22, 23, 24};

// A pop-up drag remembers where it began: its value moves with the pointer
// relative to the press, 144 pixels for the whole range.
static bool popupDrag;
static Vec3 dragStart;
static f32 dragStartValue;

static f32 Clamp01(f32 v) { return v < 0 ? 0 : v > 1 ? 1 : v; }

bool InRect(Vec3 p, f32 x, f32 y, f32 w, f32 h) {
    return x <= p.x && p.x < x + w && y <= p.y && p.y < y + h;
}

void InitGuiButtons() {
    for (i32 i = 0; i < GUI_BUTTON_COUNT; i++) {
        GuiButton& b = guiButtons[i];
        b.glow = 0;
        b.label[0] = 0;
        if (i >= GUI_PLACED_BUTTONS) continue;
        snprintf(b.label, sizeof b.label, "%s", buttonLabels[i]);
        b.icon = i < 10 ? toolIconCells[buttonTools[i]] : otherIcons[i - 10];
    }
    detailPos = (detailBias - 0.1f) * 0.5263158f;
}

// ---- the top bar's sliders

static void SetDetail(f32 pos) {
    detailPos = Clamp01(pos);
    detailBias = 0.1f + 1.9f * detailPos;
}

// With a single material there is nothing to choose: the slider stays at 0
// and cannot be grabbed.
static bool MaterialSliderLive() { return materialCount > 1; }

static void GrabBarSlider() {
    const f32 bx = GUI_BAR_X, by = GUI_BAR_Y;
    if (InRect(guiPointer, bx + 150, by + 10, 150, 25)) activeSlider = SLIDER_SIZE;
    if (InRect(guiPointer, bx + 150, by + 35, 150, 25)) activeSlider = SLIDER_STRENGTH;
    if (InRect(guiPointer, bx + 360, by + 35, 80, 25)) activeSlider = SLIDER_DETAIL;
    if (InRect(guiPointer, bx + 445, by + 35, 80, 25) && MaterialSliderLive())
        activeSlider = SLIDER_MATERIAL;
}

static void DragBarSlider() {
    const f32 x = guiPointer.x, bx = GUI_BAR_X;
    switch (activeSlider) {
    case SLIDER_SIZE: toolSize[currentTool] = Clamp01((x - (bx + 165)) / 120); break;
    case SLIDER_STRENGTH: toolStrength[currentTool] = Clamp01((x - (bx + 165)) / 120); break;
    case SLIDER_DETAIL: SetDetail((x - (bx + 375)) / 50); break;
    case SLIDER_MATERIAL:
        selectedMaterial = (i32)std::lround((materialCount - 1) * Clamp01((x - (bx + 460)) / 50));
        break;
    default: break;
    }
}

// The material is loaded when a drag ends, not while it moves.
static void BarSliders() {
    if (!brushResizing) {
        if (pointerOverGui && guiButtonPressed) GrabBarSlider();
        if (guiButtonHeld && !popupDrag) DragBarSlider();
    }
    if (!guiButtonHeld) activeSlider = SLIDER_NONE;
    if (activeSlider != SLIDER_MATERIAL) materialIndex = selectedMaterial;
    materialPos = MaterialSliderLive() ? (f32)selectedMaterial / (f32)(materialCount - 1) : 0;
}

// ---- the radial pop-up (Alt held)

static f32* PopupValue(i32 slider) {
    if (slider == SLIDER_SIZE) return &toolSize[currentTool];
    if (slider == SLIDER_STRENGTH) return &toolStrength[currentTool];
    return &detailPos;
}

// A press in the ring picks a slider by its direction from the centre: left
// size, up strength, right detail; below picks nothing.
static void GrabPopupSlider() {
    f32 dx = guiPointer.x - (f32)popupCenter[0], dy = guiPointer.y - (f32)popupCenter[1];
    i32 d = (i32)std::lround(std::sqrt(dx * dx + dy * dy));
    if (d <= 35 || d >= 90) return;
    if (std::fabs(dx) > std::fabs(dy))
        activeSlider = dx < 0 ? SLIDER_SIZE : SLIDER_DETAIL;
    else if (dy < 0)
        activeSlider = SLIDER_STRENGTH;
    else
        return;
    popupDrag = true;
    dragStart = guiPointer;
    dragStartValue = *PopupValue(activeSlider);
}

static void DragPopupSlider() {
    f32 up = -(guiPointer.y - dragStart.y) / 144, right = (guiPointer.x - dragStart.x) / 144;
    if (activeSlider == SLIDER_SIZE) toolSize[currentTool] = Clamp01(dragStartValue + up);
    if (activeSlider == SLIDER_STRENGTH)
        toolStrength[currentTool] = Clamp01(dragStartValue + right);
    if (activeSlider == SLIDER_DETAIL) SetDetail(dragStartValue + up);
}

// Fades in while Alt is held; fading out goes below 0 so that a quick tap
// of Alt takes a moment before the pop-up shows again.
static void Popup() {
    if (brushResizing) {
        popupAlpha = std::fmin(popupAlpha + 0.25f * frameFactor, 1.0f);
        if (guiButtonPressed) GrabPopupSlider();
        if (guiButtonHeld && popupDrag) DragPopupSlider();
    } else {
        popupAlpha = std::fmax(popupAlpha - 0.25f * frameFactor, -0.3f);
    }
    if (!guiButtonHeld) {
        activeSlider = SLIDER_NONE;
        popupDrag = false;
    }
}

// ---- the button grid

// Grid place of button i: 3 columns 30 pixels apart, rows 30 apart with an
// extra 10 pixels before the toggles (row 3 on) and the file commands (row 5 on).
static Vec3 GridPlace(i32 i) {
    i32 r = i / 3, m = i % 3;
    return {GUI_GRID_X + 30.0f * m, GUI_GRID_Y + 30.0f * r + 10.0f * (r > 2) + 10.0f * (r > 4), 0};
}

// Swell weight: 1 at the pointer, easing to 0 from 100 pixels away.
static f32 SwellWeight(f32 d) {
    f32 f = Clamp01(1 - (d - 20) * 0.0125f);
    f32 k = std::cos(3.1415f * f);
    return 0.5f - 0.5f * (k < 0 ? -1.0f : 1.0f) * std::pow(std::fabs(k), 0.8f);
}

// Places every button and returns the hovered one (-1 none): the nearest
// within 25 pixels of its moved place, preferring the larger when swollen.
static i32 LayoutButtons() {
    i32 hovered = -1;
    f32 best = 25;
    for (GuiButton& b : guiButtons) b.hover = b.held = b.clicked = 0;
    for (i32 i = 0; i < GUI_PLACED_BUTTONS; i++) {
        GuiButton& b = guiButtons[i];
        Vec3 p = GridPlace(i);
        f32 w = SwellWeight(Length(p - guiPointer));
        b.scale = 0.35f;
        if (menuZoom) {
            p = guiPointer + (p - guiPointer) * (1 + 0.5f * w);
            b.scale = 0.35f + 0.175f * w;
        }
        b.position = p;
        b.color = {0.7f, 0.7f, 0.7f};
        b.used = 1;
        f32 d = Length(p - guiPointer);
        if (d < best && (hovered < 0 || b.scale >= guiButtons[hovered].scale)) {
            best = d;
            hovered = i;
        }
    }
    return hovered;
}

// up -> pressed (on the press frame) -> held while over it -> clicked when
// released over the same button; released anywhere else clicks nothing.
static void StepButtonStates(i32 h) {
    if (h >= 0) {
        if (!guiButtonHeld) guiButtons[h].hover = 1;
        if (guiButtonPressed) pressedButton = h;
    } else if (guiButtonPressed) {
        pressedButton = -1;  // a press on empty space owns no button
    }
    if (guiButtonHeld) {
        if (h >= 0 && h == pressedButton) guiButtons[h].held = 1;
        if (pressedButton >= 0) guiButtons[pressedButton].hover = 1;
    } else {
        if (h >= 0 && h == pressedButton) guiButtons[h].clicked = 1;
        pressedButton = -1;
    }
}

static void ColorButtons() {
    const Vec3 lit = {0.92f, 0.76f, 0.65f};
    for (GuiButton& b : guiButtons) {
        if (!b.used) continue;
        if (b.glow > 0) b.glow--;
        if (b.hover) {
            b.color = lit;
            b.glow = b.glow + 3 > 15 ? 15 : b.glow + 3;
        }
    }
    if (maskView) guiButtons[BUTTON_MASK].color = {0.5f, 1.0f, 0.5f};
    if (wireframe) guiButtons[BUTTON_WIREFRAME].color = lit;
    if (symmetry) guiButtons[BUTTON_SYMMETRY].color = lit;
}

void UpdateGui() {
    Vec3 p = guiPointer;
    pointerOverGui = (p.x < GUI_PANEL_RIGHT && p.y < GUI_PANEL_BOTTOM) ||
                     (p.x < GUI_BAR_RIGHT && p.y < GUI_BAR_BOTTOM);
    if (pointerOverGui && guiButtonPressed) guiCaptured = 1;
    BarSliders();
    Popup();
    StepButtonStates(LayoutButtons());
    ColorButtons();
    guiButtonPressed = 0;
    if (!guiButtonHeld) guiCaptured = 0;
}
