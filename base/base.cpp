// Program directory and data folder, AppPath, the user's file folders
// (UserFilePath) and the material image names.
#include "base/base.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
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

// The user's files go beside the program only for a copy that runs from a
// folder of its own; an installed copy never writes into its prefix.
static bool userFilesBesideProgram = true;

static bool IsDirectory(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
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
    userFilesBesideProgram = access(exe, W_OK) == 0;
    char probe[600], share[PATH_MAX];
    snprintf(probe, sizeof probe, "%sdata", exe);
    if (IsDirectory(probe)) return;
    // <prefix>/bin/tessaform reads <prefix>/share/tessaform/.
    snprintf(probe, sizeof probe, "%s../share/tessaform", exe);
    if (!IsDirectory(probe) || !realpath(probe, share)) return;
    size_t length = strlen(share);
    if (length + 2 > sizeof appDir) return;
    memcpy(appDir, share, length);
    memcpy(appDir + length, "/", 2);
    userFilesBesideProgram = false;
}

// $variable when it names an absolute folder, else $HOME/fallback; false
// when neither is known.
static bool UserFolder(char* out, size_t size, const char* variable, const char* fallback) {
    const char* value = getenv(variable);
    if (value && value[0] == '/') return snprintf(out, size, "%s/tessaform/", value) < (int)size;
    const char* home = getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* user = getpwuid(getuid());
        home = user ? user->pw_dir : nullptr;
    }
    if (!home || home[0] != '/') return false;
    return snprintf(out, size, "%s/%s/tessaform/", home, fallback) < (int)size;
}

// mkdir -p of a folder path ending with '/'.
static bool MakeFolders(char* path) {
    for (char* c = path + 1; *c; c++) {
        if (*c != '/') continue;
        *c = 0;
        bool made = mkdir(path, 0700) == 0 || errno == EEXIST;
        *c = '/';
        if (!made) return false;
    }
    return true;
}

const char* UserFilePath(const char* name) {
    static char path[1024];
    char folder[900];
    bool config = strcmp(name, "config.txt") == 0;
    if (userFilesBesideProgram ||
        !UserFolder(folder, sizeof folder, config ? "XDG_CONFIG_HOME" : "XDG_STATE_HOME",
                    config ? ".config" : ".local/state") ||
        !MakeFolders(folder))
        snprintf(folder, sizeof folder, "%s", appDir);
    snprintf(path, sizeof path, "%s%s", folder, name);
    return path;
}
