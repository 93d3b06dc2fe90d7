// Files the program opens by a name relative to the current directory (the
// window icon, the shader sources): when the program is started from
// elsewhere they are found beside the program instead.
#include "platform/window.h"

FILE* OpenBesideProgram(const char* name, const char* mode) {
    if (FILE* f = fopen(name, mode)) return f;
    return fopen(AppPath(name), mode);
}
