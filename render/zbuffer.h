// Read-back of the depth patch under the pointer, for picking.
#pragma once

// Reads the depth values around the pointer from the frame just drawn.
void FetchZBuffer();
