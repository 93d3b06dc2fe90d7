// Pen pressure and proximity from a tablet (writes penInProximity and
// tabletPressure of app/input.h).
#pragma once

union SDL_Event;

void StartTablet();
void StopTablet();
// Sees every window event before the window layer handles it.
void TabletHandleEvent(const SDL_Event& event);
