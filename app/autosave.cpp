// Autosave of the restore file and its recovery at start-up. The main thread
// copies the image, a share of the arrays per frame so that no frame pauses
// (any edit in between starts the copy over); the writer thread touches
// nothing but the finished buffer and the file, and reports through an
// atomic state that the frame logic polls. Logs only on the main thread.
#include "app/autosave.h"
#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include "app/app.h"
#include "app/framelogic.h"
#include "base/services.h"
#include "base/settings.h"
#include "mesh/mesh.h"
#include "mesh/meshfile.h"
#include "parallel/parallel.h"
#include "tools/brush.h"

int64_t autosaveImageBytes;
double autosaveCopySeconds;

enum { WRITER_IDLE, WRITER_BUSY, WRITER_DONE, WRITER_FAILED };
static std::atomic<i32> writerState{WRITER_IDLE};
static std::thread writer;
static UndoSlot image;  // the copied image; the writer's alone while it is busy
static char writerPath[1024];
static u8 restoreOnDisk;  // this session wrote the restore file
static u32 savedStamp;    // journalStamp of the image last written
static double lastWriteTime = -1;
static ImageCopy copy;  // the copy in progress
static u8 copying;
static u32 copyStamp;  // journalStamp when the copy began
static i32 copyCapacities[2];
// Record bytes read per frame: reading the records is the cost of the copy.
static const int64_t COPY_BYTES_PER_FRAME = 64 << 20;

static double Now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

const char* RestoreFilePath() { return UserFilePath("_restore.tf1"); }

// The writer thread: the whole image to a temporary file, synced, then
// renamed over the restore file, so a crash mid-write keeps the last one.
static void WriteImage(const u8* bytes, int64_t size, const char* path) {
    char temp[1100];
    snprintf(temp, sizeof temp, "%s.tmp", path);
    int fd = open(temp, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0;
    for (int64_t done = 0; ok && done < size;) {
        ssize_t n = write(fd, bytes + done, (size_t)(size - done));
        ok = n > 0;
        done += ok ? n : 0;
    }
    ok = ok && fsync(fd) == 0;
    if (fd >= 0) ok = close(fd) == 0 && ok;
    ok = ok && rename(temp, path) == 0;
    if (!ok) unlink(temp);
    writerState = ok ? WRITER_DONE : WRITER_FAILED;
}

// Joins a finished writer (or waits for it) and logs its outcome.
static void CollectWriter(bool wait) {
    if (!writer.joinable()) return;
    if (!wait && writerState == WRITER_BUSY) return;
    writer.join();
    if (writerState == WRITER_FAILED) {
        LogBeginVerbose(0);
        LogPrint("*** autosave: could not write '%s'", writerPath);
    } else {
        restoreOnDisk = 1;
    }
    writerState = WRITER_IDLE;
}

// Room for the whole image up front: growing while writing copies it.
static bool SizeImage() {
    int64_t v = liveVertexCount, t = liveTriangleCount;
    int64_t size =
        MESH_IMAGE_HEADER_BYTES + v * MESH_IMAGE_VERTEX_BYTES + t * MESH_IMAGE_TRIANGLE_BYTES;
    if (size + 1 > image.capacity) {
        if (size + 1 > 0x7fffffff) return false;
        u8* bytes = (u8*)realloc(image.bytes, (size_t)(size + 1));
        if (!bytes) return false;
        image.bytes = bytes;
        image.capacity = (i32)(size + 1);
    }
    image.used = 0;
    return true;
}

// Starts the copy of the current mesh; false when memory runs out.
static bool BeginCopy() {
    autosaveCopySeconds = 0;
    copyStamp = journalStamp;
    copyCapacities[0] = vertexCapacity;
    copyCapacities[1] = triangleCapacity;
    copying = SizeImage() && BeginImageCopy(copy, &image);
    return copying;
}

// One frame's share; true once the image is whole (or the copy failed).
static bool ContinueCopy(int64_t bytes) {
    double start = Now();
    bool done = ContinueImageCopy(copy, bytes);
    autosaveCopySeconds = std::max(autosaveCopySeconds, Now() - start);
    if (!done) return false;
    copying = 0;
    image.length = image.used;
    autosaveImageBytes = image.used;
    return true;
}

// The mesh changed since the copy began: what is copied no longer fits.
static bool CopyOutdated() {
    return strokeActive || !meshSettled || journalStamp != copyStamp ||
           copyCapacities[0] != vertexCapacity || copyCapacities[1] != triangleCapacity;
}

bool CopyRestoreImage() {
    if (!BeginCopy()) return false;
    while (!ContinueCopy(COPY_BYTES_PER_FRAME)) {}
    return !copy.failed;
}

static void LogOutOfMemory() {
    LogBeginVerbose(0);
    LogPrint("*** autosave: out of memory for the image");
}

static bool AutosaveDue() {
    if (!modified || strokeActive || !meshSettled || journalStamp == savedStamp) return false;
    if (lastWriteTime < 0) lastWriteTime = Now();  // the interval runs from the first look
    return Now() - lastWriteTime >= autosaveSeconds;
}

void UpdateAutosave() {
    CollectWriter(false);
    if (writer.joinable()) return;
    if (!modified) {
        // Saved (or opened, or new): the restore file would only offer older work.
        if (restoreOnDisk) std::remove(RestoreFilePath());
        restoreOnDisk = 0;
        savedStamp = 0;
        copying = 0;
        return;
    }
    if (copying && CopyOutdated()) copying = 0;  // started again when due
    if (!copying) {
        if (!AutosaveDue()) return;
        lastWriteTime = Now();
        if (!BeginCopy()) return LogOutOfMemory();
    }
    if (!ContinueCopy(COPY_BYTES_PER_FRAME)) return;
    if (copy.failed) return LogOutOfMemory();
    savedStamp = copyStamp;
    snprintf(writerPath, sizeof writerPath, "%s", RestoreFilePath());
    writerState = WRITER_BUSY;
    writer = std::thread(WriteImage, image.bytes, (int64_t)image.length, writerPath);
}

void StopAutosave() {
    CollectWriter(true);
    std::remove(RestoreFilePath());
    restoreOnDisk = 0;
    free(image.bytes);
    image = UndoSlot{};
}

bool OfferRecovery() {
    const char* path = RestoreFilePath();
    if (access(path, F_OK) != 0) return false;
    char kept[1024];
    snprintf(kept, sizeof kept, "%s", path);  // AppPath's buffer is shared
    if (!ShowMessageBox("Recover the sculpture from the last session?", "Recover",
                        MESSAGE_EXCLAMATION_OK_CANCEL)) {
        std::remove(kept);
        return false;
    }
    if (!LoadMesh(kept)) {
        LogBeginVerbose(0);
        LogPrint("*** restore file refused and deleted");
        std::remove(kept);
        return false;
    }
    // Recovered work is unsaved work: untitled, modified, and still kept in
    // the restore file until it is saved or the program ends cleanly.
    RunParallel(ClearChangedJob);
    modified = 1;
    fileName[0] = 0;
    restoreOnDisk = 1;
    return true;
}
