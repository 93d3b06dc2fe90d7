// Pen pressure and proximity from a tablet (writes penInProximity and
// tabletPressure of base/input.h through the rules of tools/pen.h).
#pragma once

union SDL_Event;

// Opens the tablet reader on the main window; false (logged) without a
// tablet, which leaves the pressure at the mouse's full value.
bool StartTablet();
void StopTablet();
// Sees every window event before the window layer handles it.
void TabletHandleEvent(const SDL_Event& event);
// Reads the pen events that arrived since the last frame.
void PollTablet();
