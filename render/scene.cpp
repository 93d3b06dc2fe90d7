// One pass of the 3D view (DrawScene): the background (first pass only),
// the lit mesh from the buffer objects, the additive mask tint, then the
// brush ring, the symmetry seam and the wireframe. The mirrored pass draws
// the same arrays scaled by -1 in x, sharing the first pass's depth buffer.
// Main thread only; rebuilds the arrays at most once per frame.
#include <GL/gl.h>
#include <GL/glu.h>
#include "base/settings.h"
#include "base/view.h"
#include "mesh/mesh.h"
#include "render/glext.h"
#include "render/render.h"
#include "render/shaders.h"
#include "render/textures.h"
#include "tools/brush.h"

u8 mirrorPass;
GLUquadric* brushQuadric;

// ================================================================ stages

// A holder without a picture binds no texture rather than an unknown name.
static void BindTexture(const Texture& t) {
    glBindTexture(GL_TEXTURE_2D, t.name == NO_TEXTURE ? 0 : t.Handle());
}

static void DrawBackground() {
    glClearColor(0.3f, 0.5f, 0.3f, 0.0f);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    SetProjection(true);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glLoadIdentity();
    glDepthMask(GL_FALSE);
    glColor4f(1, 1, 1, 1);
    // Without its picture the clear colour stands in: an unbound texture
    // would draw a white sheet over everything.
    if (backgroundTexture.name != NO_TEXTURE) {
        glEnable(GL_TEXTURE_2D);
        BindTexture(backgroundTexture);
        DrawTexturedQuad(0, 0, (f32)windowWidth, (f32)windowHeight);
    }
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
}

// The model transform; the mirrored pass adds the x flip, which reverses
// the winding, so it culls front faces instead.
static void SetModelView(bool push) {
    glLoadIdentity();
    glTranslatef(-viewOffset.x, -viewOffset.y, -viewOffset.z);
    glScalef(zoom, zoom, zoom);
    glRotatef(viewPitch, 1, 0, 0);
    glRotatef(viewYaw, 0, 1, 0);
    glCullFace(GL_BACK);
    if (push) glPushMatrix();
    if (mirrorPass) {
        glScalef(-1, 1, 1);
        glCullFace(GL_FRONT);
    }
}

// A light fixed relative to the viewer. The model-view scale shrinks the
// normals by 1/zoom and normal rescaling stays off, so the diffuse colour
// carries the zoom instead: zooming does not change the brightness.
static void SetFixedLight() {
    glEnable(GL_LIGHTING);
    Vec3 dir =
        viewRight * lightWeights[0] - viewDown * lightWeights[1] + viewToward * lightWeights[2];
    dir.Normalize();
    if (mirrorPass) dir.x = -dir.x;
    const GLfloat ambient[4] = {0.55f, 0.25f, 0.4f, 1.0f};
    const GLfloat diffuse[4] = {0.8f * zoom, 0.88f * zoom, 0.72f * zoom, 1.0f};
    const GLfloat position[4] = {dir.x, dir.y, dir.z, 0};
    glLightfv(GL_LIGHT1, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT1, GL_POSITION, position);
    glEnable(GL_LIGHT1);
}

// The shader programs read the saved geometry as generic attributes, from
// client memory. They are switched off again after the draw: left enabled,
// they would point into arrays that storage growth frees, and a later draw
// would read the freed memory.
static GLint savedAttributes[2] = {-1, -1};

static void BindSavedGeometry() {
    arb::glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    const char* names[2] = {"app_GPosition", "app_GNormal"};
    const Vec3* arrays[2] = {savedPositionArray, savedNormalArray};
    for (i32 k = 0; k < 2; k++) {
        savedAttributes[k] = arb::glGetAttribLocationARB(currentProgram, names[k]);
        if (savedAttributes[k] < 0) continue;
        arb::glVertexAttribPointerARB((GLuint)savedAttributes[k], 3, GL_FLOAT, GL_FALSE, 0,
                                      arrays[k]);
        arb::glEnableVertexAttribArrayARB((GLuint)savedAttributes[k]);
    }
}

static void UnbindSavedGeometry() {
    for (GLint& location : savedAttributes) {
        if (location >= 0) arb::glDisableVertexAttribArrayARB((GLuint)location);
        location = -1;
    }
}

static void BindShaderTextures() {
    glEnable(GL_TEXTURE_2D);
    arb::glActiveTextureARB(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
    BindTexture(materialTexture);
    arb::glActiveTextureARB(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_2D);
    BindTexture(noiseTexture);
    arb::glActiveTextureARB(GL_TEXTURE0_ARB);
}

static void UnbindShaderTextures() {
    arb::glActiveTextureARB(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
    arb::glActiveTextureARB(GL_TEXTURE0_ARB);
    glDisable(GL_TEXTURE_2D);
}

static void DrawMeshFromBuffers() {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    arb::glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, indexBuffer);
    arb::glBindBufferARB(GL_ARRAY_BUFFER_ARB, positionBuffer);
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    arb::glBindBufferARB(GL_ARRAY_BUFFER_ARB, normalBuffer);
    glNormalPointer(GL_FLOAT, 0, nullptr);
    arb::glBindBufferARB(GL_ARRAY_BUFFER_ARB, colorBuffer);
    glColorPointer(3, GL_FLOAT, 0, nullptr);
    if (shadersActive) {
        BindShaderTextures();
        if (bumpShading) BindSavedGeometry();
    } else {
        glDisable(GL_TEXTURE_2D);
    }
    glDrawElements(GL_TRIANGLES, drawTriangleCount * 3, GL_UNSIGNED_INT, nullptr);
    if (shadersActive) UnbindSavedGeometry();
    arb::glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    arb::glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
}

// Without shaders the mask shows as an additive tint from client memory.
static void DrawMaskTint() {
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glVertexPointer(3, GL_FLOAT, 0, positionArray);
    glNormalPointer(GL_FLOAT, 0, normalArray);
    glColorPointer(3, GL_FLOAT, 0, colorArray);
    glDrawElements(GL_TRIANGLES, drawTriangleCount * 3, GL_UNSIGNED_INT, indexArray);
    glDisable(GL_BLEND);
}

// Lines added onto the picture; culling still applies, so each pass draws
// its own half.
static void DrawWireframe() {
    glColor3f(0.04f, 0.04f, 0.04f);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glDisable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, positionArray);
    glDrawElements(GL_TRIANGLES, drawTriangleCount * 3, GL_UNSIGNED_INT, indexArray);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

// ================================================================ the pass

void DrawScene() {
    // The background (first pass only), then the projection and model transform.
    if (!mirrorPass) DrawBackground();
    SetProjection(false);
    glDepthMask(GL_TRUE);
    SetModelView(true);
    // Filled polygons sit slightly behind the wireframe drawn later.
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(0.3f, 2.0f);
    // The program, then the arrays (rebuilt at most once a frame: pass 0).
    BindShaderProgram(mirrorPass);
    if (arraysDirty) {
        UploadRenderArrays();
        arraysDirty = 0;
    }
    // The light and the mesh itself.
    if (!shadersActive) SetFixedLight();
    DrawMeshFromBuffers();
    // The mask tint; lighting and textures off again.
    if (!shadersActive && maskView) DrawMaskTint();
    if (shadersActive)
        UnbindShaderTextures();
    else
        glDisable(GL_LIGHTING);
    // Back to the unmirrored transform.
    glPopMatrix();
    glCullFace(GL_BACK);
    if (shadersActive) arb::glUseProgramObjectARB(0);
    glDepthMask(GL_FALSE);
    // The overlays that need the depth of both halves.
    DrawBrushRing();
    DrawSymmetrySeam();
    // The wireframe, in the pass's own transform.
    SetModelView(false);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glLineWidth(1);
    if (wireframe) DrawWireframe();
    glDisable(GL_BLEND);
}
