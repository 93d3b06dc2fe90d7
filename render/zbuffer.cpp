// Depth read-back (to be filled in).
#include "render/zbuffer.h"

void FetchZBuffer() {}
