// What the fuzz targets share: the readers that take a path get the input as
// an in-memory file, so a run never touches the disk, and a mesh a reader
// accepted must pass the consistency checker.
#pragma once
#include <sys/mman.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include "mesh/mesh.h"

// The input as a file path (/proc/self/fd of one memfd, rewritten per run).
inline const char* InputAsFile(const u8* data, size_t size) {
    static int fd = -1;
    static char path[64];
    if (fd < 0) {
        fd = memfd_create("fuzz-input", MFD_CLOEXEC);
        if (fd < 0) abort();
        snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    }
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != (ssize_t)size) abort();
    return path;
}

// A reader that accepted its input must leave a sound mesh: anything else is
// a finding, reported like a crash.
inline void RequireSoundMesh() {
    char report[2048];
    if (CheckMesh(report, sizeof report)) return;
    fprintf(stderr, "mesh broken after an accepted input: %s\n", report);
    abort();
}
