// The sculpture image: writing it to a file or an undo slot, checking a whole
// image before anything is replaced, rebuilding the mesh from a checked image,
// and the safe write (temporary file, flush, sync, rename) and whole-file
// read that the sculpture and the OBJ files share.
// Replaces the whole mesh (and
// the `symmetry` switch) only after CheckMeshImage has passed.
#include "mesh/meshfile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/settings.h"
#include "mesh/mesh.h"

static const u64 MAX_IMAGE_VERTICES = MAX_MESH_VERTICES;
static const u64 MAX_IMAGE_TRIANGLES = MAX_MESH_TRIANGLES;
// Coordinates beyond this overflow single-precision normals (the cross
// product of two edges, squared); no sculpture comes near it.
static const f32 MAX_COORDINATE = 1e8f;

// ================================================================ [SECTION] byte sink

namespace {

// Where WriteMesh sends its bytes: a file, or an undo slot's buffer.
struct ImageSink {
    FILE* file;
    UndoSlot* slot;
    bool failed;
};

// Grows a slot buffer by halves until n more bytes fit.
bool GrowSlotFor(UndoSlot* s, i32 n) {
    while ((int64_t)s->used + n >= s->capacity) {
        int64_t grown = (int64_t)s->capacity * 3 / 2;
        if (grown <= s->capacity || grown > 0x7fffffff) return false;
        u8* bytes = (u8*)realloc(s->bytes, (size_t)grown);
        if (!bytes) return false;
        s->bytes = bytes;
        s->capacity = (i32)grown;
    }
    return true;
}

void Put(ImageSink& sink, const u8* bytes, i32 n) {
    if (sink.failed) return;
    if (sink.file) {
        sink.failed = fwrite(bytes, 1, (size_t)n, sink.file) != (size_t)n;
        return;
    }
    if (!GrowSlotFor(sink.slot, n)) {
        sink.failed = true;
        return;
    }
    memcpy(sink.slot->bytes + sink.slot->used, bytes, (size_t)n);
    sink.slot->used += n;
}

void StoreU32(u8* out, u32 v) {
    out[0] = (u8)v;
    out[1] = (u8)(v >> 8);
    out[2] = (u8)(v >> 16);
    out[3] = (u8)(v >> 24);
}
void StoreF32(u8* out, f32 f) {
    u32 u;
    memcpy(&u, &f, 4);
    StoreU32(out, u);
}
u32 LoadU32(const u8* in) {
    return (u32)in[0] | (u32)in[1] << 8 | (u32)in[2] << 16 | (u32)in[3] << 24;
}
i32 LoadI32(const u8* in) { return (i32)LoadU32(in); }
f32 LoadF32(const u8* in) {
    u32 u = LoadU32(in);
    f32 f;
    memcpy(&f, &u, 4);
    return f;
}

}  // namespace

// ================================================================ [SECTION] writing

// Each vertex slot's number in the image, -1 for a free slot: a compact
// table, so the triangles look their corners up without touching the
// vertex records scattered over the array (the autosave copies the image
// of a whole sculpture between two frames).
static i32* imageNumbers;
static i32 imageNumbersCapacity;

static bool SizeImageNumbers() {
    if (imageNumbersCapacity >= vertexCapacity) return true;
    i32* numbers = (i32*)realloc(imageNumbers, sizeof(i32) * (size_t)vertexCapacity);
    if (!numbers) return false;
    imageNumbers = numbers;
    imageNumbersCapacity = vertexCapacity;
    return true;
}

static i32 NumberVertices() {
    i32 v = 0;
    for (i32 i = 0; i < vertexCapacity; i++) imageNumbers[i] = vertices[i].active ? v++ : -1;
    return v;
}

// A triangle whose corner is free has no number in the image; writing it
// would produce a file the reader refuses, so such triangles are left out.
static bool Writable(const Triangle& t) {
    return t.active && imageNumbers[SlotOf(t.vertices[0])] >= 0 &&
           imageNumbers[SlotOf(t.vertices[1])] >= 0 && imageNumbers[SlotOf(t.vertices[2])] >= 0;
}

static i32 CountWritableTriangles() {
    i32 t = 0;
    for (i32 i = 0; i < triangleCapacity; i++) t += Writable(triangles[i]);
    return t;
}

// A coordinate or mask the reader refuses would make the whole file
// unreadable for one bad vertex; the image keeps a usable value instead.
static f32 Finite(f32 f, bool& repaired) {
    if (std::isfinite(f) && std::fabs(f) <= MAX_COORDINATE) return f;
    repaired = true;
    return std::isfinite(f) ? (f < 0 ? -MAX_COORDINATE : MAX_COORDINATE) : 0;
}

static void PutVertex(ImageSink& sink, Vertex& v, bool& repaired) {
    u8 entry[MESH_IMAGE_VERTEX_BYTES];
    StoreF32(entry, Finite(v.position.x, repaired));
    StoreF32(entry + 4, Finite(v.position.y, repaired));
    StoreF32(entry + 8, Finite(v.position.z, repaired));
    f32 m = Finite(v.mask, repaired);
    if (m < 0 || m > 1) {
        m = m < 0 ? 0.0f : 1.0f;
        repaired = true;
    }
    StoreF32(entry + 12, m);
    entry[16] = v.onMirrorLine ? 1 : 0;
    Put(sink, entry, MESH_IMAGE_VERTEX_BYTES);
}

// A file needs the counts before the entries; an image in memory gets them
// filled in at the end, so each array is read once (numbering included).
static bool StartImage(ImageCopy& c) {
    c.headerAt = c.slot ? c.slot->used : 0;
    c.nextVertex = c.nextTriangle = c.vertexCount = c.triangleCount = c.skipped = 0;
    c.repaired = 0;
    c.failed = !SizeImageNumbers();
    if (c.failed) return false;
    i32 v = c.slot ? 0 : NumberVertices(), t = c.slot ? 0 : CountWritableTriangles();
    u8 header[MESH_IMAGE_HEADER_BYTES];
    StoreU32(header, (u32)v);
    StoreU32(header + 4, (u32)t);
    header[8] = symmetry ? 1 : 0;
    ImageSink sink{c.file, c.slot, false};
    Put(sink, header, MESH_IMAGE_HEADER_BYTES);
    c.failed = sink.failed;
    return !c.failed;
}

static void CopyVertices(ImageCopy& c, ImageSink& sink, i32 end) {
    bool repaired = false;
    for (i32& i = c.nextVertex; i < end; i++) {
        imageNumbers[i] = vertices[i].active ? c.vertexCount : -1;
        if (vertices[i].active) PutVertex(sink, vertices[i], repaired), c.vertexCount++;
    }
    c.repaired |= repaired;
}

static void CopyTriangles(ImageCopy& c, ImageSink& sink, i32 end) {
    for (i32& i = c.nextTriangle; i < end; i++) {
        const Triangle& tri = triangles[i];
        if (!tri.active) continue;
        if (!Writable(tri)) {
            c.skipped++;
            continue;
        }
        u8 entry[MESH_IMAGE_TRIANGLE_BYTES];
        for (i32 k = 0; k < 3; k++)
            StoreU32(entry + 4 * k, (u32)imageNumbers[SlotOf(tri.vertices[k])]);
        Put(sink, entry, MESH_IMAGE_TRIANGLE_BYTES);
        c.triangleCount++;
    }
}

static void FinishImage(ImageCopy& c) {
    if (c.slot && !c.failed) {
        StoreU32(c.slot->bytes + c.headerAt, (u32)c.vertexCount);
        StoreU32(c.slot->bytes + c.headerAt + 4, (u32)c.triangleCount);
    }
    if (c.repaired) {
        LogBeginVerbose(0);
        LogPrint("### writing mesh: non-finite or out-of-range values written clamped");
    }
    TF_ASSERT(c.skipped == 0, "writing mesh: %i triangles with a free corner left out", c.skipped);
}

bool BeginImageCopy(ImageCopy& c, UndoSlot* slot) {
    c.slot = slot;
    c.file = nullptr;
    return StartImage(c);
}

bool ContinueImageCopy(ImageCopy& c, int64_t recordBytes) {
    if (c.failed) return true;
    ImageSink sink{c.file, c.slot, false};
    int64_t vertexSlots = recordBytes / (int64_t)sizeof(Vertex);
    i32 vertexEnd = (i32)std::min<int64_t>(vertexCapacity, c.nextVertex + vertexSlots);
    recordBytes -= (int64_t)(vertexEnd - c.nextVertex) * (int64_t)sizeof(Vertex);
    CopyVertices(c, sink, vertexEnd);
    int64_t triangleSlots = recordBytes / (int64_t)sizeof(Triangle);
    i32 triangleEnd =
        c.nextVertex < vertexCapacity
            ? c.nextTriangle
            : (i32)std::min<int64_t>(triangleCapacity, c.nextTriangle + triangleSlots);
    CopyTriangles(c, sink, triangleEnd);
    c.failed = sink.failed;
    bool done = c.failed || c.nextTriangle == triangleCapacity;
    if (done) FinishImage(c);
    return done;
}

bool WriteMesh(FILE* file) {
    ImageCopy c = {};
    c.file = file;
    if (!StartImage(c)) return false;
    ContinueImageCopy(c, INT64_MAX);
    return !c.failed;
}

bool WriteMesh(UndoSlot* slot) {
    ImageCopy c;
    if (!BeginImageCopy(c, slot)) return false;
    ContinueImageCopy(c, INT64_MAX);
    return !c.failed;
}

// ================================================================ [SECTION] checking

bool MeshFitsInMemory(u64 v, u64 t) {
    if (v > MAX_IMAGE_VERTICES || t > MAX_IMAGE_TRIANGLES) return false;
    u64 perVertex = sizeof(Vertex) + 5 * sizeof(Vec3) + sizeof(i32);
    u64 perTriangle = sizeof(Triangle) + sizeof(IndexTriple) + sizeof(i32);
    u64 edgeCount = t * 3 / 2 + v;
    u64 need = v * perVertex + t * perTriangle + edgeCount * (sizeof(Edge) + sizeof(i32));
    need = need * 5 / 2;  // capacity headroom plus the copy made while growing
    long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return true;  // unknown: the count limits still hold
    return need <= (u64)pages * (u64)pageSize / 2;
}

static bool Fail(const char** reason, const char* text) {
    if (reason) *reason = text;
    return false;
}

static bool CheckVertexEntries(const u8* p, u64 v, const char** reason) {
    for (u64 i = 0; i < v; i++, p += MESH_IMAGE_VERTEX_BYTES) {
        for (i32 k = 0; k < 3; k++) {
            f32 c = LoadF32(p + 4 * k);
            if (!std::isfinite(c)) return Fail(reason, "vertex coordinate not finite");
            if (std::fabs(c) > MAX_COORDINATE)
                return Fail(reason, "vertex coordinate out of range");
        }
        f32 m = LoadF32(p + 12);
        if (!(m >= 0 && m <= 1)) return Fail(reason, "mask weight outside 0..1");
        if (p[16] > 1) return Fail(reason, "mirror-line flag not 0 or 1");
    }
    return true;
}

// Every corner in range and no corner repeated; then the per-vertex room the
// topology records have (24 triangles, 24 edges), so that rebuilding cannot
// be refused half-way through.
static bool CheckTriangleEntries(const u8* p, u64 v, u64 t, const char** reason) {
    std::vector<u8> triangleCount((size_t)v, 0);
    std::vector<u64> sides;
    sides.reserve((size_t)t * 3);
    for (u64 j = 0; j < t; j++, p += MESH_IMAGE_TRIANGLE_BYTES) {
        u32 c[3];
        for (i32 k = 0; k < 3; k++) {
            c[k] = LoadU32(p + 4 * k);
            if (c[k] >= v) return Fail(reason, "triangle corner number out of range");
        }
        if (c[0] == c[1] || c[1] == c[2] || c[0] == c[2])
            return Fail(reason, "triangle with a repeated corner");
        for (i32 k = 0; k < 3; k++) {
            if (++triangleCount[c[k]] > MAX_VERTEX_TRIANGLES)
                return Fail(reason, "vertex with too many triangles");
            u32 a = c[k], b = c[(k + 1) % 3];
            sides.push_back((u64)std::min(a, b) << 32 | std::max(a, b));
        }
    }
    // Each run of equal sides is one edge: it may hold two triangles at most,
    // and it counts once toward each end's edges.
    std::sort(sides.begin(), sides.end());
    std::vector<u8> edgeCount((size_t)v, 0);
    for (size_t i = 0, run; i < sides.size(); i += run) {
        for (run = 1; i + run < sides.size() && sides[i + run] == sides[i]; run++) {}
        if (run > 2) return Fail(reason, "edge shared by more than two triangles");
        u64 s = sides[i];
        if (++edgeCount[(size_t)(s >> 32)] > MAX_VERTEX_EDGES ||
            ++edgeCount[(size_t)(u32)s] > MAX_VERTEX_EDGES)
            return Fail(reason, "vertex with too many edges");
    }
    return true;
}

bool CheckMeshImage(const u8* bytes, size_t size, const char** reason) {
    if (size < MESH_IMAGE_HEADER_BYTES) return Fail(reason, "shorter than the 9-byte header");
    i32 v = LoadI32(bytes), t = LoadI32(bytes + 4);
    if (v < 0 || t < 0) return Fail(reason, "negative vertex or triangle count");
    u64 expected = MESH_IMAGE_HEADER_BYTES + (u64)v * MESH_IMAGE_VERTEX_BYTES +
                   (u64)t * MESH_IMAGE_TRIANGLE_BYTES;
    if (expected != size)
        return Fail(reason, "length does not match the vertex and triangle counts");
    if (!MeshFitsInMemory((u64)v, (u64)t))
        return Fail(reason, "more vertices or triangles than memory allows");
    if (bytes[8] > 1) return Fail(reason, "symmetry byte not 0 or 1");
    const u8* vertexEntries = bytes + MESH_IMAGE_HEADER_BYTES;
    if (!CheckVertexEntries(vertexEntries, (u64)v, reason)) return false;
    const u8* triangleEntries = vertexEntries + (size_t)v * MESH_IMAGE_VERTEX_BYTES;
    return CheckTriangleEntries(triangleEntries, (u64)v, (u64)t, reason);
}

// ================================================================ [SECTION] rebuilding

// Rebuilds the mesh from an image that CheckMeshImage has passed.
static void BuildFromImage(const u8* bytes) {
    ClearAllSlots();
    liveVertexCount = liveEdgeCount = liveTriangleCount = displayTriangleCount = 0;
    i32 v = LoadI32(bytes), t = LoadI32(bytes + 4);
    symmetry = bytes[8];
    ReserveRecords(v, t);
    const u8* p = bytes + MESH_IMAGE_HEADER_BYTES;
    // The storage is empty with its cursor at 0, so vertex number i lands in slot i.
    for (i32 i = 0; i < v; i++, p += MESH_IMAGE_VERTEX_BYTES) {
        Vertex* vx = AddVertex(LoadF32(p), LoadF32(p + 4), LoadF32(p + 8));
        vx->mask = LoadF32(p + 12);
        vx->onMirrorLine = p[16];
    }
    for (i32 j = 0; j < t; j++, p += MESH_IMAGE_TRIANGLE_BYTES) {
        Vertex* a = &vertices[LoadU32(p)];
        Vertex* b = &vertices[LoadU32(p + 4)];
        Vertex* c = &vertices[LoadU32(p + 8)];
        // CheckMeshImage has counted the room every corner and side needs.
        Triangle* made = AddTriangle(a, b, c);
        TF_ASSERT(made, "checked image triangle %i refused", j);
    }
    UpdateWorkset();
    StoreRestState();
    colorsDirty = arraysDirty = fullRebuild = meshChanged = 1;
}

// The one way an image replaces the mesh: checked whole first, so a refused
// image leaves everything as it was. A file gets a fresh storage sized for
// it; an undo snapshot refills the current arrays in place.
static bool CheckAndBuild(const u8* bytes, size_t size, bool freshStorage) {
    const char* reason = "";
    if (!CheckMeshImage(bytes, size, &reason)) {
        LogBeginVerbose(0);
        LogPrint("file error: %s", reason);
        return false;
    }
    if (freshStorage) ResetAllocation();
    BuildFromImage(bytes);
    return true;
}

// Reads everything from the current position to the end; null on failure.
static u8* ReadRest(FILE* file, u64 maxBytes, size_t& size) {
    struct stat st;
    long start = ftell(file);
    if (start < 0 || fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < start)
        return nullptr;
    size = (size_t)(st.st_size - start);
    if (size > maxBytes) return nullptr;
    u8* bytes = (u8*)malloc(size ? size : 1);
    if (!bytes) return nullptr;
    if (fread(bytes, 1, size, file) != size) {
        free(bytes);
        return nullptr;
    }
    return bytes;
}

u8* ReadFileWhole(const char* path, u64 maxBytes, size_t& size) {
    FILE* f = fopen(path, "rb");
    if (!f) {
        LogBeginVerbose(0);
        LogPrint("file error: cannot open '%s' (%s)", path, strerror(errno));
        return nullptr;
    }
    u8* bytes = ReadRest(f, maxBytes, size);
    fclose(f);
    if (!bytes) {
        LogBeginVerbose(0);
        LogPrint("file error: cannot read the file whole (too large, or not a regular file)");
    }
    return bytes;
}

bool ReadMesh(UndoSlot* slot) {
    if (!slot->bytes || slot->used < 0 || slot->length < slot->used ||
        slot->length > slot->capacity) {
        LogBeginVerbose(0);
        LogPrint("### undo slot bounds damaged, snapshot refused");
        return false;
    }
    const u8* bytes = slot->bytes + slot->used;
    size_t size = (size_t)(slot->length - slot->used);
    if (!CheckAndBuild(bytes, size, false)) return false;
    slot->used = slot->length;
    return true;
}

// ================================================================ [SECTION] files

// The folder of path into dir ("." for a bare name); path's last component,
// or null when path does not fit.
static const char* SplitDirectory(const char* path, char* dir, size_t size) {
    if (snprintf(dir, size, "%s", path) >= (int)size) return nullptr;
    char* slash = strrchr(dir, '/');
    if (!slash) {
        snprintf(dir, size, ".");
        return path;
    }
    const char* name = path + (slash - dir) + 1;
    if (slash == dir)
        dir[1] = 0;  // the root keeps its slash
    else
        *slash = 0;
    return name;
}

// A temporary name of path's: "<name of path>.<pid>-<attempt>.tmp". The pid,
// or -1 when the name is not one.
static long TemporaryOwner(const char* entry, const char* name) {
    size_t n = strlen(name);
    if (strncmp(entry, name, n) != 0 || entry[n] != '.') return -1;
    char* end;
    long pid = strtol(entry + n + 1, &end, 10);
    if (end == entry + n + 1 || *end != '-' || pid <= 0) return -1;
    const char* attempt = end + 1;
    strtol(attempt, &end, 10);
    return end != attempt && strcmp(end, ".tmp") == 0 ? pid : -1;
}

// A save killed part-way leaves its temporary file behind; the next save of
// the same file removes those whose process is gone, so they do not pile up
// beside the user's sculpture. A live process's file may be a save in
// progress and is kept. This process's own pid marks a leftover too: its
// saves run one at a time, so such a file is from an earlier process that
// had the same pid.
static void RemoveDeadTemporaries(const char* path) {
    char dir[1024];
    const char* name = SplitDirectory(path, dir, sizeof dir);
    DIR* d = name ? opendir(dir) : nullptr;
    if (!d) return;
    while (dirent* entry = readdir(d)) {
        long pid = TemporaryOwner(entry->d_name, name);
        if (pid <= 0) continue;
        bool gone = pid == (long)getpid() || (kill((pid_t)pid, 0) != 0 && errno == ESRCH);
        char leftover[2100];
        if (gone &&
            snprintf(leftover, sizeof leftover, "%s/%s", dir, entry->d_name) < (int)sizeof leftover)
            unlink(leftover);
    }
    closedir(d);
}

// Creates a fresh temporary file beside path, with the permissions the
// target has (or the default ones for a new file).
static FILE* CreateTemporary(const char* path, char* tempPath, size_t tempSize) {
    struct stat st;
    bool keepMode = stat(path, &st) == 0 && S_ISREG(st.st_mode);
    for (i32 attempt = 0; attempt < 100; attempt++) {
        if (snprintf(tempPath, tempSize, "%s.%i-%i.tmp", path, (int)getpid(), attempt) >=
            (int)tempSize)
            return nullptr;
        int fd = open(tempPath, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return nullptr;
        if (keepMode) fchmod(fd, st.st_mode & 07777);
        FILE* f = fdopen(fd, "wb");
        if (!f) {
            close(fd);
            unlink(tempPath);
        }
        return f;
    }
    return nullptr;
}

// The rename is only durable once the directory itself is synced.
static void SyncDirectoryOf(const char* path) {
    char dir[1024];
    if (!SplitDirectory(path, dir, sizeof dir)) return;
    int fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

static bool SaveFailed(const char* why, const char* tempPath) {
    LogBeginVerbose(0);
    LogPrint("file error: %s (%s)", why, strerror(errno));
    if (tempPath && tempPath[0]) unlink(tempPath);
    return false;
}

bool WriteFileSafely(const char* path, bool (*write)(FILE* file)) {
    char tempPath[1100] = "";
    RemoveDeadTemporaries(path);
    FILE* f = CreateTemporary(path, tempPath, sizeof tempPath);
    if (!f) return SaveFailed("cannot create a temporary file beside the target", tempPath);
    bool written = write(f);
    written = fflush(f) == 0 && written;
    written = fsync(fileno(f)) == 0 && written;
    written = fclose(f) == 0 && written;
    if (!written) return SaveFailed("writing the file failed", tempPath);
    if (rename(tempPath, path) != 0) return SaveFailed("cannot replace the target", tempPath);
    SyncDirectoryOf(path);
    return true;
}

bool SaveMesh(const char* path) {
    LogPrint("save '%s'", path);
    if (!WriteFileSafely(path, WriteMesh)) return false;
    LogPrint("success!");
    return true;
}

bool LoadMesh(const char* path) {
    LogPrint("load '%s'", path);
    u64 largest = MESH_IMAGE_HEADER_BYTES + MAX_IMAGE_VERTICES * MESH_IMAGE_VERTEX_BYTES +
                  MAX_IMAGE_TRIANGLES * MESH_IMAGE_TRIANGLE_BYTES;
    size_t size = 0;
    u8* bytes = ReadFileWhole(path, largest, size);
    if (!bytes) return false;
    bool ok = CheckAndBuild(bytes, size, true);
    if (ok) LogPrint("success!");
    free(bytes);
    return ok;
}
