// Per-frame logic: input, view control, brush update, commands, stroke
// application and the refinement cycle that relaxes the mesh after edits.
// Window-free: the title, message boxes and dialogs go through
// base/services.h, held keys come from keysHeld (base/input.h), and what only
// the renderer can do (shaders, the material image) is asked for by flags.
#pragma once
#include "base/base.h"
#include "parallel/parallel.h"

// The frame logic's profiler section.
enum { PROF_MISCLOGIC = 17 };
inline constexpr ProfileSectionName frameProfileSections[] = {{PROF_MISCLOGIC, "misclogic"}};

// The frame logic's own state: written by the frame stages named below
// (framelogic.cpp, framecommands.cpp) and ResetFrameLogic.
// A command key or button was active last frame; keys fire only while clear.
// Set by the latched commands (LatchedCommands).
extern u8 commandLatch;
// Escape or Alt+F4 was held last frame: one question per press (QuitKeysEndProgram).
extern u8 quitKeyLatch;
// Refinement frames since the last stroke frame or command: counted by the
// stroke stage, set to 28 by undo and a new mesh (three more frames).
extern i32 idleFrames;
// Refinement by detail bias is on: the Tab command switches it, and the
// latched commands switch it back on whenever detailBias is above 0.
extern u8 detailEnabled;
extern f32 savedDetailBias;  // detail bias kept while Tab has switched refinement off (Tab)
// materialIndex whose image was asked for (UpdateMaterial); -1 asks in the first frame.
extern i32 lastMaterial;
extern u8 titleMark;     // modified as last shown in the title (FrameLogic)
extern i32 settleCount;  // closing passes run (ClosingPass); only the tests read it

// One frame; returns false to end the program.
bool FrameLogic();
// Rebuilds the window title from fileName and modified.
void SetWindowTitle();
// With unsaved changes, asks "Changes will be lost, ok?" under the caption;
// true = go on (OK, or nothing to lose), false = keep the session.
bool ConfirmDiscardChanges(const char* caption);
// Opens the file named on the command line as the OPEN and IMPORT commands
// would (an .obj is imported, anything else opened as a sculpture); a file
// that fails leaves the start mesh and is reported to the user.
void OpenStartFile(const char* path);
// Frame-logic bookkeeping back to start values (start-up, tests).
void ResetFrameLogic();

// ---- frame stages (framecommands.cpp), in frame order
// Command keys and buttons; returns after the light step.
void RunCommands();
// Loads the selected material when it changed.
void UpdateMaterial();
// Tool keys and buttons.
void SelectTool();
