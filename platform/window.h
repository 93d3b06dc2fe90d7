// The one window and its GL context, the event handler that turns window
// events into the input globals (base/input.h, app/app.h), and the frame:
// draw, pace, present. Main thread only; nothing here acts on input beyond
// recording it, resizing the viewport and rendering during expose storms.
#pragma once
#include <cstddef>
#include <cstdio>
#include "base/base.h"
#include "parallel/parallel.h"

// The frame's profiler section: the whole of RenderFrame.
enum { PROF_RENDER = 18 };
inline constexpr ProfileSectionName windowProfileSections[] = {{PROF_RENDER, "render"}};

struct SDL_Window;
union SDL_Event;

// ---- window state (written by CreateGLWindow / DestroyGLWindow)
extern SDL_Window* mainWindow;  // null before creation and after teardown
extern void* glContext;         // the GL context, current on the main thread
extern u8 sdlStarted;           // SDL's video subsystem is initialised

// ---- event state (written by HandleWindowEvent)
extern i32 paintCount;      // expose events since the main loop last rendered (the loop zeroes it)
extern u8 pointerTracking;  // the pointer is inside the window (a leave will be reported)

// ---- frame pacing (written by DrawFrame and RenderFrame)
extern u32 lastFrameEndMs;      // ms clock at the end of the previous frame
extern u32 renderedFrameCount;  // frames rendered since start (main loop and expose)

// ---- window (window.cpp)
// Creates the window and its compatibility-profile GL context; false after
// showing "Could not create window" when the window cannot be made.
bool CreateGLWindow(const char* title, i32 width, i32 height);
// Tears down whatever CreateGLWindow made; safe after a partial creation.
void DestroyGLWindow();
// Viewport and pixel projection (y down); -1, -1 keeps the current size.
void Resize(i32 width, i32 height);
bool IsWindowMaximized();
// Address of a GL entry point, or null.
void* GLProcAddress(const char* name);
// Milliseconds since SDL started.
u32 TimeMs();

// ---- services (services.cpp): message boxes and the title for base/services.h
void InstallWindowServices();

// ---- events (events.cpp)
// Records one event in the input globals (every event reaches the tablet first).
void HandleWindowEvent(const SDL_Event& event);
// Handles every waiting event; false once the quit event has been seen.
bool PumpWindowEvents();
// Sets the three button flags for the coming frame: held, or pressed since
// the last call (a click between two frames counts for one frame).
void LatchButtonPresses();

// ---- frame (frame.cpp)
// Reads the depth patch, draws both passes and the GUI, paces, presents.
void RenderFrame();
void DrawFrame();
// DrawFrame from the GL state a frame starts in, into the back buffer and
// without presenting it (what RenderFrame draws; the GL tests read it back).
void DrawFrameFromStartState();

// ---- files (files.cpp)
// Opens name relative to the current directory, else in the program directory.
FILE* OpenBesideProgram(const char* name, const char* mode);

// ---- icon (icon.cpp)
// Decodes the first image of a .ico file (32-bit or 24-bit uncompressed
// bitmap) into RGBA rows, top row first; null with a log line when damaged.
// The caller frees the result.
u8* DecodeIco(const u8* data, size_t size, i32* width, i32* height);
// Sets the window icon from "icon-16.ico"; false (logged) when it cannot.
bool LoadWindowIcon();
