// Small immediate-mode drawers shared by the scene and the interface: the
// projection switch, textured quads, the brush sphere, cube faces and
// circles. Immediate mode is kept to these few primitives; the mesh itself
// always goes through the buffer objects.
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
    orthoMode = ortho;
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

void DrawCircle(Vec3 center, f32 radius, Vec3 axisA, Vec3 axisB, Vec3 offset) {
    const f32 step = 0.26179168f;  // a twelfth of 3.1415
    glBegin(GL_LINES);
    Vec3 previous = {};
    for (i32 i = 0; i <= 24; i++) {
        f32 angle = i == 24 ? 0 : i * step;  // the last point closes the loop exactly
        Vec3 p =
            center + (axisA * std::cos(angle) + axisB * std::sin(angle)) * radius - offset * 0.1f;
        if (orthoMode) p.z = 0;
        if (i > 0) {
            glVertex3f(previous.x, previous.y, previous.z);
            glVertex3f(p.x, p.y, p.z);
        }
        previous = p;
    }
    glEnd();
}
