// Sculpture files (".tf1") and the undo ring. Both hold the same image: V, T,
// the symmetry byte, 17-byte vertex entries and 12-byte triangle entries, all
// little-endian (9 + 17 V + 12 T bytes, no header). An image is checked whole
// before the current sculpture is touched, so a damaged file or snapshot is
// refused with the mesh as it was. The safe write, the whole-file read and
// the memory check serve the OBJ file too. Main thread only.
#pragma once
#include <cstddef>
#include <cstdio>
#include "base/base.h"

enum {
    UNDO_SLOT_COUNT = 12,
    UNDO_INITIAL_BYTES = 102400,
    MESH_IMAGE_HEADER_BYTES = 9,
    MESH_IMAGE_VERTEX_BYTES = 17,
    MESH_IMAGE_TRIANGLE_BYTES = 12,
};

// One snapshot buffer of the ring.
struct UndoSlot {
    u8 valid;      // holds a snapshot not yet restored
    i32 capacity;  // bytes allocated in `bytes`
    i32 used;      // write/read position in bytes
    i32 length;    // bytes of the image written by the last PushUndo into this slot
    u8* bytes;
};

// An image written into a slot a part at a time, so that copying a large
// sculpture spreads over several frames. The mesh must not change between
// the parts: whoever copies starts over when it does.
struct ImageCopy {
    UndoSlot* slot;  // where the image goes (null: the file of WriteMesh)
    FILE* file;
    i32 headerAt;                    // the image's first byte in the slot
    i32 nextVertex, nextTriangle;    // the next slots to copy
    i32 vertexCount, triangleCount;  // entries copied so far
    i32 skipped;                     // triangles with a free corner, left out
    u8 repaired, failed;
};

// ---- undo ring (undo.cpp)
// Allocated by InitUndoRing, freed by FreeUndoRing; a slot is filled by
// PushUndo and used up by PopUndo, and ClearUndoRing empties them all.
extern UndoSlot undoRing[UNDO_SLOT_COUNT];
extern i32 undoNext;  // slot the next PushUndo writes, 0..11; moved by PushUndo and PopUndo

// ---- image writing and reading (meshfile.cpp)
// Writes the image of the active vertices and triangles, in slot order; a
// vertex's number in the image is its place among the active ones.
bool WriteMesh(FILE* file);
// Appends the image to the slot's buffer at `used`, growing it by halves.
bool WriteMesh(UndoSlot* slot);
// Starts an image at the slot's `used`; false when memory runs out.
bool BeginImageCopy(ImageCopy& copy, UndoSlot* slot);
// Reads about recordBytes more of the record arrays into the image; true
// once it is complete or has failed (copy.failed: memory ran out).
bool ContinueImageCopy(ImageCopy& copy, int64_t recordBytes);
// Checks the image in the slot's buffer from `used` on (which advances), and
// only then rebuilds the mesh from it in the current arrays (vertex i in
// slot i, triangle j in slot j). False: mesh untouched.
bool ReadMesh(UndoSlot* slot);
// Checks one image; on failure names the fault in reason (when given).
bool CheckMeshImage(const u8* bytes, size_t size, const char** reason);
// Whether a mesh of v vertices and t triangles stays within the record
// limits (8 million of each) and, with room for growth, fits in half of the
// machine's memory: growth that cannot get memory ends the program, so every
// reader asks first.
bool MeshFitsInMemory(u64 v, u64 t);

// ---- files (meshfile.cpp)
// Runs write on a temporary file beside path, syncs it and renames it over
// path only when all of it is on disk, so a failed write never harms the
// previous file. False (with a "file error" log line) on any failure.
bool WriteFileSafely(const char* path, bool (*write)(FILE* file));
// The whole file in one malloc'd buffer (the caller frees it), or null with a
// "file error" log line: it cannot be opened, is not a regular file, or is
// larger than maxBytes.
u8* ReadFileWhole(const char* path, u64 maxBytes, size_t& size);
// Writes a temporary file beside path and renames it over path only when the
// whole image is on disk, so a failed save never harms the previous file.
bool SaveMesh(const char* path);
// Checks the whole file first; only a sound file resets the storage
// (ResetAllocation) and replaces the sculpture. False: nothing changed.
bool LoadMesh(const char* path);

// ---- undo ring (undo.cpp)
bool InitUndoRing();   // start-up: 12 empty slots of 102400 bytes
void FreeUndoRing();   // shutdown
void ClearUndoRing();  // every slot empty (open, new mesh, import)
// Snapshot of the mesh into the next slot; the oldest is overwritten.
bool PushUndo();
// Steps back one slot and restores its snapshot, using it up. False when
// that slot holds none (the step back stays) or its image is refused.
bool PopUndo();
