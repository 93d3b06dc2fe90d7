// Small immediate-mode drawers shared by the scene and the interface: the
// projection switch, textured quads, the brush sphere and cube faces. Immediate mode is kept to
// these few primitives; the mesh itself always goes through the buffer objects.
#include <GL/gl.h>
#include <GL/glu.h>
#include <cmath>
#include "base/settings.h"
#include "base/view.h"
#include "render/render.h"
#include "tools/brush.h"

void SetProjection(bool ortho) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (ortho) {
        glOrtho(0, windowWidth, windowHeight, 0, -1, 1);  // pixels, origin top left, y down
        glMatrixMode(GL_MODELVIEW);
        glDisable(GL_DEPTH_TEST);
    } else {
        glEnable(GL_DEPTH_TEST);
        gluPerspective(fieldOfView, (double)windowWidth / windowHeight, 5.0, 3000.0);
        glMatrixMode(GL_MODELVIEW);
    }
}

void DrawTexturedQuad(f32 x, f32 y, f32 w, f32 h) {
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex3f(x, y, 0);
    glTexCoord2f(0, 1);
    glVertex3f(x, y + h, 0);
    glTexCoord2f(1, 1);
    glVertex3f(x + w, y + h, 0);
    glTexCoord2f(1, 0);
    glVertex3f(x + w, y, 0);
    glEnd();
}

void DrawBrushSphere(const Brush& b, f32 scale) {
    glPushMatrix();
    glTranslatef(b.mirrored ? -b.center.x : b.center.x, b.center.y, b.center.z);
    gluSphere(brushQuadric, scale * b.radius, 20, 20);
    glPopMatrix();
}

// The face of the cube [-1, 1]^3 facing along axis, wound counter-clockwise
// seen from outside (so that culling treats it as a front face there).
void DrawCubeFace(Vec3 axis) {
    Vec3 helper = std::fabs(axis.y) < 0.9f ? Vec3{0, 1, 0} : Vec3{1, 0, 0};
    Vec3 u = Normalized(Cross(axis, helper));
    Vec3 w = Cross(axis, u);
    const f32 corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    glBegin(GL_QUADS);
    glNormal3f(axis.x, axis.y, axis.z);
    for (const auto& c : corners) {
        Vec3 p = axis + u * c[0] + w * c[1];
        glVertex3f(p.x, p.y, p.z);
    }
    glEnd();
}
