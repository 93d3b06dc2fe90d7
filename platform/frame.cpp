// One frame: depth read-back for picking, the scene (twice with symmetry),
// the interface, pacing towards a 30 ms frame, the frame statistics and the
// buffer swap. Writes the pacing globals of platform/window.h and the
// statistics of base/input.h.
#include <GL/gl.h>
#include <SDL2/SDL.h>
#include "base/input.h"
#include "base/settings.h"
#include "parallel/parallel.h"
#include "platform/window.h"
#include "render/gui.h"
#include "render/render.h"
#include "render/zbuffer.h"
#include "tools/brush.h"

u32 lastFrameEndMs;
u32 statsStartMs;
i32 statsFrameCount;
i32 statsSleepCount;
u32 strokeStartMs;
u8 strokeTiming;
u32 strokeTotalMs;
u32 renderedFrameCount;

enum { FRAME_PERIOD_MS = 30, PACING_SLEEP_MS = 10, MAX_PACING_SLEEPS = 2 };

// At most two short sleeps: a slow frame is never made slower by much. A
// profiled stroke runs unthrottled so the profile shows the real work.
static void PaceFrame() {
    if (mtProfiler && strokeActive) return;
    for (i32 sleeps = 0; sleeps < MAX_PACING_SLEEPS; sleeps++) {
        if (TimeMs() - lastFrameEndMs >= FRAME_PERIOD_MS) break;
        SDL_Delay(PACING_SLEEP_MS);
        statsSleepCount++;
    }
}

// Brush applications per second of stroke time, over all strokes so far.
static void TimeStrokes(u32 now) {
    if (strokeActive && !strokeTiming) strokeStartMs = now;
    if (!strokeActive && strokeTiming) {
        strokeTotalMs += now - strokeStartMs;
        if (strokeTotalMs > 0)
            brushApplicationsPerSecond = (f32)brushApplicationCount / strokeTotalMs * 1000;
    }
    strokeTiming = strokeActive;
}

static void CountFrame(u32 now) {
    statsFrameCount++;
    lastFrameEndMs = now;
    if (now - statsStartMs < 1000) return;
    framesPerSecond = (f32)statsFrameCount;
    sleepsPerFrame = statsSleepCount / framesPerSecond;
    frameFactor = 30 / framesPerSecond;
    statsFrameCount = statsSleepCount = 0;
    statsStartMs = now;
}

void DrawFrame() {
    mirrorPass = 0;
    DrawScene();
    if (symmetry) {
        mirrorPass = 1;
        DrawScene();
    }
    DrawGui();
    PaceFrame();
    TimeStrokes(TimeMs());
    CountFrame(TimeMs());
    if (mtProfiler) profileFrameCount++;
}

// The 2D drawing that ends a frame leaves scissor, blending, colour and the
// matrices changed; the scene drawing assumes none of that, so every frame
// starts again from here.
void DrawFrameFromStartState() {
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    DrawFrame();
}

void RenderFrame() {
    ProfileBegin(PROF_RENDER);
    // Picking reads the depth of the frame just shown, so wait for it first.
    glFinish();
    FetchZBuffer();
    ServeRenderRequests();
    DrawFrameFromStartState();
    glFlush();
    SDL_GL_SwapWindow(mainWindow);
    renderedFrameCount++;
    ProfileEnd();
}
