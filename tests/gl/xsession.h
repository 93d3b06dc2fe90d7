// Scaffolding for the tests that start the real program or send X input:
// every such test runs its own virtual X server, so the focus and the
// pointer are its alone (tests run side by side under ctest -j, and a
// developer's desktop, can neither take the focus nor catch the input).
// The program runs from a temporary copy of its directory, and what the
// user would see (window names, sizes, pixels) is read from the X server.
// Xlib stays out of this header: its macros (None, Bool, Status) clash with
// the headers of the tests.
#pragma once
#include <sys/types.h>
#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>
#include "base/base.h"
#include "picture.h"

// ---- commands and waiting

// Runs a shell command and returns what it printed, without the final
// newlines (a window title may end in a meaningful space).
std::string Output(const std::string& command);
// Runs xdotool with these arguments; a failure fails the test.
void Xdo(const std::string& arguments);
bool HaveXdotool();
void Sleep(i32 ms);

// Polls until done() holds or timeoutMs have passed; true when it held.
template <typename Predicate>
bool WaitUntil(Predicate done, i32 timeoutMs, i32 pollMs = 50) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        Sleep(pollMs);
    }
    return done();
}

// ---- a private X server and the program on it

// A virtual X server for one test alone. Start puts its name into DISPLAY,
// so the program, xdotool and the window functions below all use it; the
// destructor puts DISPLAY back and ends the server.
class PrivateDisplay {
public:
    bool Start();
    ~PrivateDisplay();

private:
    pid_t pid = -1;
    bool inUse = false;  // DISPLAY names this server
    bool hadPrevious = false;
    std::string previous;
};

// The real program in a fresh directory of its own, where its settings,
// log, crash marker and restore file stay: a copy of the program, its icon
// beside it and a link to the shipped data. A copy still running when the
// test ends is killed, and the directory removed, whatever happened.
struct RunningProgram {
    std::filesystem::path dir;   // the program's directory (made by Prepare)
    std::filesystem::path work;  // where it starts: dir unless set after Prepare
    std::vector<std::pair<std::string, std::string>> environment;  // for the program alone
    pid_t pid = -1;
    i32 exitStatus = -1;  // of the last copy that ended: exit code, or 128 + signal

    // Makes the directory; Start does it when nothing was prepared.
    bool Prepare();
    // Starts a copy (another one once the last has ended).
    bool Start();
    // Waits for the running copy to end; true when it did in time.
    bool Exited(i32 timeoutMs);
    ~RunningProgram();
};

// ---- windows, read from the X server

using WindowId = unsigned long;  // an X window id; 0 for none

// A visible window of that process whose name starts with the text.
WindowId FindProgramWindow(pid_t pid, const std::string& prefix, i32 timeoutMs);
// A top-level window whose name starts with the text (the program's message
// boxes); timeout 0 asks whether there is one now.
WindowId FindNamedWindow(const std::string& prefix, i32 timeoutMs);
// The UTF-8 name (xdotool cannot read the names SDL gives its message boxes).
std::string WindowName(WindowId window);
struct WindowSize {
    i32 width = 0, height = 0;
};
WindowSize SizeOf(WindowId window);
// What the window shows now.
Picture GrabWindow(WindowId window);
// What the window manager sends when the user clicks the close button.
void RequestClose(WindowId window);

// ---- input, through XTest as a user's keyboard and mouse would give it

// Focuses the window and holds the keys (xdotool names, "ctrl+shift+s")
// for a few frames: the program reads held keys once per frame.
void HoldKeys(WindowId window, const std::string& keys);
// A short left-button drag from the middle of the window down and right.
void DragAcrossTheMiddle(WindowId window);
