// One frame: depth read-back for picking, the scene (twice with symmetry),
// the interface, pacing towards a 30 ms frame and the buffer swap. Writes
// the pacing globals of platform/window.h and the frame statistics of
// base/guistate.h (fps, sleeps, frameFactor, brush steps per second).
#include <GL/gl.h>
#include <SDL2/SDL.h>
#include "base/guistate.h"
#include "base/settings.h"
#include "parallel/parallel.h"
#include "platform/window.h"
#include "render/gui.h"
#include "render/render.h"
#include "render/zbuffer.h"
#include "tools/brush.h"

u32 lastFrameEndMs;
u32 renderedFrameCount;

// Counts of the running statistics interval, and the stroke stopwatch.
static u32 intervalFrames, intervalSleeps, intervalStartMs;
static u32 strokeStartMs, strokeTotalMs;
static bool stopwatchRunning;

enum { FRAME_PERIOD_MS = 30, PACING_SLEEP_MS = 10, MAX_PACING_SLEEPS = 2 };

// At most two short sleeps: a slow frame is never made slower by much. A
// profiled stroke runs unthrottled so the profile shows the real work.
static void PaceFrame() {
    if (mtProfiler && strokeActive) return;
    for (i32 sleeps = 0; sleeps < MAX_PACING_SLEEPS; sleeps++) {
        if (TimeMs() - lastFrameEndMs >= FRAME_PERIOD_MS) break;
        SDL_Delay(PACING_SLEEP_MS);
        intervalSleeps++;
    }
}

// Brush steps per second of stroke time: the stopwatch runs only while a
// stroke does, so idle time does not dilute the figure.
static void TimeStrokes(u32 now) {
    if (strokeActive && !stopwatchRunning) strokeStartMs = now;
    if (!strokeActive && stopwatchRunning) {
        strokeTotalMs += now - strokeStartMs;
        if (strokeTotalMs > 0) brushStepsPerSecond = strokeStepCount * 1000.0f / strokeTotalMs;
    }
    stopwatchRunning = strokeActive;
}

// Once a second: frames per second, sleeps per frame and the frame-time
// scale the interface animations use.
static void CountFrame(u32 now) {
    intervalFrames++;
    if (now - intervalStartMs < 1000) return;
    framesPerSecond = (f32)intervalFrames;
    sleepsPerFrame = intervalSleeps / framesPerSecond;
    frameFactor = 30 / framesPerSecond;
    intervalFrames = intervalSleeps = 0;
    intervalStartMs = now;
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
    lastFrameEndMs = TimeMs();
    CountFrame(lastFrameEndMs);
    ProfileFrame();
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
