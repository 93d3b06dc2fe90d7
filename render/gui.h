// The on-screen interface, drawn over the 3D view after both scene passes.
#pragma once

void DrawGui();
