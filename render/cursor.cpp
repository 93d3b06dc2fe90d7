// The overlays drawn through the stencil buffer after the mesh: the brush
// ring (where the brush sphere cuts the visible surface) and the symmetry
// seam (where the surface crosses x = 0). Both read the depth of both
// halves, so with symmetry they are drawn in the mirrored pass only.
#include <GL/gl.h>
#include <cmath>
#include "base/settings.h"
#include "base/view.h"
#include "render/render.h"
#include "tools/brush.h"

enum { ALL_ATTRIBUTES = 0xFFFFF };

// Marks in the stencil where the visible surface lies between two closed
// shapes: back faces behind the surface set 1, front faces behind it reset 0.
static void BeginStencilShell() {
    glPushAttrib(ALL_ATTRIBUTES);
    glPushMatrix();
    glDepthFunc(GL_GEQUAL);
    glEnable(GL_STENCIL_TEST);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glStencilOp(GL_KEEP, GL_KEEP, GL_REPLACE);
}

static void StencilPass(i32 reference, GLenum culled) {
    glStencilFunc(GL_ALWAYS, reference, 1);
    glCullFace(culled);
}

// Colour only the marked pixels, blended.
static void BeginStencilColour() {
    glStencilFunc(GL_EQUAL, 1, 1);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glCullFace(GL_FRONT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

static void EndStencilShell() {
    glDisable(GL_BLEND);
    glDisable(GL_STENCIL_TEST);
    glDepthFunc(GL_LEQUAL);
    glCullFace(GL_BACK);
    glPopMatrix();
    glPopAttrib();
}

static bool BrushRingVisible() {
    if (!(brush.brushHit || (lastHitValid && brushResizing))) return false;
    if (symmetry && !mirrorPass) return false;  // once, after both halves are in the depth buffer
    if (strokeActive && (currentTool == TOOL_ROTATE || currentTool == TOOL_SCALE)) return false;
    return true;
}

// Green for the mask, orange-white for the others; a stronger brush gives
// a more saturated, more opaque ring.
static void SetRingColour() {
    f32 t = 0.8f * std::fabs(brush.strength), u = 1 - t;
    if (currentTool == TOOL_MASK)
        glColor4f(0.6f * u + 0.2f * t, 0.8f * u + t, 0.6f * u + 0.2f * t, 0.15f * u + 0.3f * t);
    else
        glColor4f(0.9f * u + t, 0.7f * u + 0.4f * t, 0.6f * u + 0.1f * t, 0.15f * u + 0.3f * t);
}

void DrawBrushRing() {
    if (!BrushRingVisible()) return;
    BeginStencilShell();
    glDisable(GL_TEXTURE_2D);
    StencilPass(1, GL_FRONT);
    DrawBrushSphere(brush, 0.8f);
    StencilPass(0, GL_FRONT);
    DrawBrushSphere(brush, 0.7f);
    StencilPass(1, GL_BACK);
    DrawBrushSphere(brush, 0.7f);
    StencilPass(0, GL_BACK);
    DrawBrushSphere(brush, 0.8f);
    BeginStencilColour();
    SetRingColour();
    DrawBrushSphere(brush, 0.8f);
    EndStencilShell();
}

static void DrawCube() {
    const Vec3 axes[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (Vec3 axis : axes) DrawCubeFace(axis);
}

// A slab two eye units thick and a thousand wide around x = 0, whatever the zoom.
void DrawSymmetrySeam() {
    if (!symmetry || !mirrorPass) return;
    BeginStencilShell();
    glDisable(GL_TEXTURE_2D);
    glScalef(1 / zoom, 500 / zoom, 500 / zoom);
    StencilPass(1, GL_FRONT);
    DrawCube();
    StencilPass(0, GL_BACK);
    DrawCube();
    BeginStencilColour();
    glColor4f(1, 1, 1, 0.04f);
    DrawCube();
    EndStencilShell();
}
