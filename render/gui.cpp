// The interface pass: draws, in order, the backdrops, the top bar's
// sliders, the radial pop-up, the header, the buttons (swollen ones last,
// so they lie on top), the statistics, the profiler overlay and ROTATE's
// handle. Reads the records of base/guistate.h; writes only each button's
// drawn mark. Layout and hit-testing live in app/guilogic.cpp.
#include "render/gui.h"
#include <GL/gl.h>
#include <cmath>
#include "base/guistate.h"
#include "base/settings.h"
#include "mesh/mesh.h"
#include "parallel/parallel.h"
#include "render/font.h"
#include "render/render.h"
#include "tools/brush.h"

Texture guiButtonsTexture, guiShadowTexture, guiButtonShadowTexture, guiSliderTexture,
    guiBrushIconTexture, guiHoverDiscTexture, guiDiscSliderTexture;

static const struct {
    Texture* holder;
    const char* file;
} guiPictures[] = {
    {&guiButtonsTexture, "data/gui_buttons2.png"},
    {&guiShadowTexture, "data/gui_shadow.png"},
    {&guiButtonShadowTexture, "data/gui_buttonshadow.png"},
    {&guiSliderTexture, "data/gui_slider.png"},
    {&guiBrushIconTexture, "data/gui_brushicon.png"},
    {&guiHoverDiscTexture, "data/gui_hoverdisc.png"},
    {&guiDiscSliderTexture, "data/gui_discslider.png"},
};

// Same places as the interface logic's (app/guilogic.h, a layer above).
static const f32 bx = 100, by = 17, gx = 40, gy = 40;

void SetupGui() {
    for (const auto& p : guiPictures) p.holder->LoadPng(AppPath(p.file), TEXTURE_LINEAR);
}

void ReleaseGuiTextures() {
    for (const auto& p : guiPictures) p.holder->Release();
}

// False (nothing bound) for a picture that never loaded: its part is skipped.
static bool Bind(const Texture& t) {
    if (t.name == NO_TEXTURE) return false;
    glBindTexture(GL_TEXTURE_2D, t.name);
    return true;
}

void DrawIcon(i32 cell, f32 x, f32 y, f32 scale, Vec3 c) {
    // Cells 16 .. 31 reach u >= 1 and rely on the texture repeating.
    f32 u0 = cell / 16.0f, u1 = u0 + 1 / 16.0f, v0 = cell < 16 ? 0.0f : 0.5f, h = 45 * scale;
    glColor4f(c.x, c.y, c.z, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(u0, v0);
    glVertex3f(x - h, y - h, 0);
    glTexCoord2f(u0, v0 + 0.5f);
    glVertex3f(x - h, y + h, 0);
    glTexCoord2f(u1, v0 + 0.5f);
    glVertex3f(x + h, y + h, 0);
    glTexCoord2f(u1, v0);
    glVertex3f(x + h, y - h, 0);
    glEnd();
}

static void Multiply() { glBlendFunc(GL_ZERO, GL_SRC_COLOR); }
static void Normal() { glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); }

static void BeginGuiFrame() {
    SetProjection(true);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    Normal();
}

static void DrawBackdrops() {
    if (Bind(guiShadowTexture)) {
        glColor4f(1, 1, 1, 0.3f);
        DrawTexturedQuad(gx - 40, gy - 60, 140, 285);
        glColor4f(1, 1, 1, 0.2f);
        DrawTexturedQuad(bx, by, 600, 60);
    }
    glDisable(GL_TEXTURE_2D);
    glColor4f(0, 0, 0, 0.2f);
    DrawTexturedQuad(bx + 155, by + 19, 140, 3);
    DrawTexturedQuad(bx + 155, by + 40, 140, 3);
    DrawTexturedQuad(bx + 365, by + 40, 70, 3);
    DrawTexturedQuad(bx + 450, by + 40, 70, 3);
    glEnable(GL_TEXTURE_2D);
}

static void DrawSliders() {
    if (Bind(guiSliderTexture)) {
        glColor4f(1, 1, 1, 1);
        DrawTexturedQuad(bx + 149 + 120 * toolSize[currentTool], by + 5, 32, 32);
        DrawTexturedQuad(bx + 149 + 120 * toolStrength[currentTool], by + 26, 32, 32);
        DrawTexturedQuad(bx + 359 + 50 * detailPos, by + 26, 32, 32);
        DrawTexturedQuad(bx + 444 + 50 * materialPos, by + 26, 32, 32);
    }
    glColor4f(1, 1, 1, 0.4f);
    DrawText(bx + 301, by + 14, 0.5f, "Size");
    DrawText(bx + 301, by + 35, 0.5f, "Strength");
    DrawText(bx + 383, by + 14, 0.5f, "Detail");
    DrawText(bx + 445, by + 14, 0.5f, "Material: %i", selectedMaterial + 1);
}

// A knob on an arc of radius 70: a runs -36 .. 36 pixels with the value,
// and bend is how far the arc has curved away from its middle by then.
static void ArcKnob(f32 value, f32* a, f32* bend) {
    *a = 72 * value - 36;
    *bend = 70 * (std::cos(std::asin(*a / 70)) - 1);
}

static void DrawPopup() {
    if (popupAlpha <= 0) return;
    const f32 cx = (f32)popupCenter[0], cy = (f32)popupCenter[1];
    const f32 s = std::sqrt(popupAlpha) * 0.7f + 0.3f;
    glPushMatrix();
    glTranslatef(cx, cy, 0);
    glScalef(s, s, 1);
    glTranslatef(-cx, -cy, 0);
    if (Bind(guiHoverDiscTexture)) {
        glColor4f(1, 1, 1, 0.6f * popupAlpha);
        DrawTexturedQuad(cx - 128, cy - 128, 256, 256);
    }
    if (Bind(guiDiscSliderTexture)) {
        f32 a, bend;
        glColor4f(1, 1, 1, popupAlpha);
        ArcKnob(toolSize[currentTool], &a, &bend);
        DrawTexturedQuad(cx - 78 - bend, cy - 16 - a, 32, 32);
        ArcKnob(toolStrength[currentTool], &a, &bend);
        DrawTexturedQuad(cx - 14 + a, cy - 80 - bend, 32, 32);
        ArcKnob((detailBias - 0.1f) * 0.5263158f, &a, &bend);
        DrawTexturedQuad(cx + 54 + bend, cy - 16 - a, 32, 32);
    }
    glColor4f(1, 1, 1, 0.5f * popupAlpha);
    DrawText(cx - 100, cy - 7, 0.5f, "Size");
    DrawText(cx - 20, cy - 90, 0.5f, "Strength");
    DrawText(cx + 85, cy - 7, 0.5f, "Detail");
    glPopMatrix();
}

// The header plate with the tool's icon multiplied onto it, the brush
// preview (its size and opacity follow the tool's size and strength) and
// the tool's name centred under the plate.
// The tool's name is centred under the plate by its drawn width (size 0.7
// draws at 1.4 times the glyphs' size), but never further left than the
// panel's edge; a long name then reaches to the right.
static f32 ToolNameLeft() {
    return bx + 72 - std::fmin(0.7f * (f32)TextWidth(0, "%s", toolNames[currentTool]), 45);
}
static f32 ToolNameRight() {
    return ToolNameLeft() + 1.4f * (f32)TextWidth(0, "%s", toolNames[currentTool]);
}

static void DrawHeader() {
    const Vec3 white = {1, 1, 1};
    if (Bind(guiButtonsTexture)) {
        DrawIcon(2, bx + 70, by + 30, 0.8f, white);
        Multiply();
        if (toolIconCells[currentTool])
            DrawIcon(toolIconCells[currentTool], bx + 71, by + 28, 0.8f, white);
        Normal();
        DrawIcon(15, bx + 127, by + 32, 0.5f, {0.75f, 0.75f, 0.75f});
    }
    if (Bind(guiBrushIconTexture)) {
        f32 side = 30 * (0.3f + 0.75f * toolSize[currentTool]);
        glColor4f(1, 1, 1, 0.2f + 0.4f * toolStrength[currentTool]);
        DrawTexturedQuad(bx + 127 - side / 2, by + 31 - side / 2, side, side);
    }
    glColor4f(1, 1, 1, 0.7f);
    DrawText(ToolNameLeft(), by + 63, 0.7f, "%s", toolNames[currentTool]);
}

static void DrawButton(GuiButton& b) {
    const f32 s = b.scale, x = b.position.x, y = b.position.y;
    if (Bind(guiButtonShadowTexture)) {
        glColor4f(1, 1, 1, 0.4f);
        DrawTexturedQuad(x - 53 * s, y - 47 * s, 106 * s, 102 * s);
    }
    if (Bind(guiButtonsTexture)) {
        DrawIcon(b.held ? 1 : 0, x, y, s, b.color);
        if (b.icon > 0) {
            Multiply();
            DrawIcon(b.icon, x, y, s, {1, 1, 1});
            Normal();
        }
    }
    if (b.glow > 0) {
        glColor4f(1, 1, 1, 0.8f * std::pow(b.glow / 15.0f, 1.5f));
        DrawText(x - 35 * s, y + 35 * s, 1.5f * s, "%s", b.label);
    }
    b.drawn = 1;
}

// Smallest first, so swollen buttons lie on top of their neighbours.
static void DrawButtons() {
    for (GuiButton& b : guiButtons) b.drawn = 0;
    for (;;) {
        GuiButton* next = nullptr;
        for (GuiButton& b : guiButtons)
            if (b.used && !b.drawn && (!next || b.scale < next->scale)) next = &b;
        if (!next) return;
        DrawButton(*next);
    }
}

static void DrawStatistics() {
    const f32 w = (f32)windowWidth;
    glColor4f(1, 1, 1, 0.4f);
    DrawText(15, (f32)windowHeight - 27, 0.5f, "%i triangles",
             displayTriangleCount * (symmetry ? 2 : 1));
    DrawText(w - 60, 15, 0.5f, "%.1f fps", framesPerSecond);
    DrawText(w - 70, 30, 0.5f, "slept %.1f", sleepsPerFrame);
    DrawText(w - 60, 50, 0.5f, "%.1f ips", brushStepsPerSecond);
    DrawText(w - 70, 65, 0.5f, threadCount == 1 ? "%i thread" : "%i threads", threadCount);
    if (currentTool == TOOL_REDUCE_DETAIL) {
        glColor4f(1, 1, 1, 0.5f);
        // After the tool's name, which is long enough to reach this far.
        f32 x = std::fmax(bx + 180, ToolNameRight() + 12);
        DrawText(x, by + 64, 0.6f, "Use with caution! Read documentation.txt");
    }
}

static const char* SectionName(i32 section) {
    if (section < 0 || section >= PROFILE_SECTION_COUNT) return "?";
    return profileRecords[section].name;
}

// A section's last PROFILE_HISTORY shares as bars left of its name, oldest
// first; reports taken during a stroke are tinted green.
static void DrawProfileHistory(const ProfileRecord& r, f32 x, f32 yCentre) {
    glBegin(GL_QUADS);
    for (i32 i = 0; i < PROFILE_HISTORY; i++) {
        f32 v = r.shareHistory[(profileHistoryPos + i) % PROFILE_HISTORY];
        f32 a = std::fmax(1, std::fmin(std::round(0.3f * v), 20));
        f32 alpha = std::fmin(1, 0.3f + 0.04f * v);
        if (r.marked[(profileHistoryPos + i) % PROFILE_HISTORY])
            glColor4f(0.5f, 1, 0.7f, alpha);
        else
            glColor4f(1, 1, 1, alpha);
        f32 left = x + 2 * i;
        glVertex2f(left, yCentre - a);
        glVertex2f(left + 2, yCentre - a);
        glVertex2f(left + 2, yCentre + a);
        glVertex2f(left, yCentre + a);
    }
    glEnd();
}

// One row per section with its history, share, calls and two top callers;
// a row fades with a small share.
static void DrawProfiler() {
    const f32 w = (f32)windowWidth;
    glColor4f(1, 1, 1, 0.5f);
    DrawText(w - 600, 20, 0.5f, "Profiler - %i fps", profileFps);
    DrawText(w - 600, 40, 0.5f, "------------------------");
    for (i32 k = 0; k < PROFILE_SECTION_COUNT - 1; k++) {
        const ProfileRecord& r = profileRecords[k];
        f32 y = 60 + 20.0f * k;
        glDisable(GL_TEXTURE_2D);
        DrawProfileHistory(r, w - 860, y + 5);
        glEnable(GL_TEXTURE_2D);
        glColor4f(1, 1, 1, std::fmin(1, 0.3f + 0.04f * r.share));
        DrawText(w - 600, y, 0.5f, "%s", r.name);
        DrawText(w - 400, y, 0.5f, "%2.1f%% (%i) (from %s %.1f%%, %s %.1f%%)", r.share,
                 (i32)r.lastCalls, SectionName(r.topCallers[0]), r.topCallerShares[0],
                 SectionName(r.topCallers[1]), r.topCallerShares[1]);
    }
    glColor4f(0.5f, 1, 0.7f, 0.35f);
    DrawText(w - 600, 500, 0.5f, "total");
    DrawText(w - 400, 500, 0.5f, "%.1f%% (%.1f Msamples)", profileTotalShare, profileMegasamples);
    i32 overflow = profileOverflow;
    if (overflow != -1) {
        glColor4f(1, 0.7f, 0.7f, 0.5f);
        DrawText(w - 400, 15, 0.7f, "ERROR in %s", SectionName(overflow));
    }
}

// ROTATE turns by the angle of the cursor about the stroke's start: a
// circle marks the pivot and a line the arm, lit once the arm is long
// enough to give a steady angle.
static void DrawRotateHandle() {
    if (!strokeActive || currentTool != TOOL_ROTATE) return;
    Vec3 pivot = brush.strokeStartScreenPos, v = brush.screenPos - pivot;
    f32 length = Length(v);
    if (length > 50) {
        v = v * (50 / length);
        glColor4f(1, 1, 1, 0.7f);
    } else {
        glColor4f(1, 0.7f, 0.2f, 0.5f);
    }
    glDisable(GL_TEXTURE_2D);
    glLineWidth(2);
    glBegin(GL_LINE_LOOP);
    for (i32 i = 0; i < 48; i++) {
        f32 t = 6.2831853f * i / 48;
        glVertex3f(pivot.x + 50 * std::cos(t), pivot.y + 50 * std::sin(t), 0);
    }
    glEnd();
    glBegin(GL_LINES);
    glVertex3f(pivot.x, pivot.y, 0);
    glVertex3f(pivot.x + v.x, pivot.y + v.y, 0);
    glEnd();
    glLineWidth(1);
}

void DrawGui() {
    BeginGuiFrame();
    DrawBackdrops();
    DrawSliders();
    DrawPopup();
    DrawHeader();
    DrawButtons();
    DrawStatistics();
    if (mtProfiler) DrawProfiler();
    DrawRotateHandle();
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_CULL_FACE);
}
