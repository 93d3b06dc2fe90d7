// Program directory, AppPath and the material image names.
#include "base/base.h"

#include <unistd.h>
#include <cstdio>
#include <cstring>

char appDir[512] = "./";

const char* AppPath(const char* name) {
    static char path[1024];
    snprintf(path, sizeof path, "%s%s", appDir, name);
    return path;
}

void MaterialImageName(char* out, i32 outSize, i32 number) {
    snprintf(out, (size_t)outSize, "data/material%i.png", number);
}

i32 CountMaterials() {
    i32 count = 0;
    for (;;) {
        char name[64];
        MaterialImageName(name, (i32)sizeof name, count + 1);
        FILE* f = fopen(AppPath(name), "rb");
        if (!f) return count;
        fclose(f);
        count++;
    }
}

void FindAppDir() {
    char exe[512];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return;
    exe[n] = 0;
    char* slash = strrchr(exe, '/');
    if (!slash) return;
    slash[1] = 0;
    snprintf(appDir, sizeof appDir, "%s", exe);
}
