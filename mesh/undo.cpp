// The undo ring: twelve snapshot buffers holding sculpture images. Only the
// mask fill and the symmetry switch take snapshots; a restored snapshot is
// used up (no redo). Owns undoRing and undoNext.
// The undo restore refills the current arrays in place (no ResetAllocation),
// and a snapshot is checked like a file before the mesh is cleared.
#include <cstdlib>
#include "mesh/mesh.h"
#include "mesh/meshfile.h"

UndoSlot undoRing[UNDO_SLOT_COUNT];
i32 undoNext;

bool InitUndoRing() {
    FreeUndoRing();
    for (UndoSlot& s : undoRing) {
        s.bytes = (u8*)malloc(UNDO_INITIAL_BYTES);
        if (!s.bytes) {
            LogBeginVerbose(1);
            LogPrint("### out of memory for the undo ring");
            FreeUndoRing();
            return false;
        }
        s.capacity = UNDO_INITIAL_BYTES;
    }
    return true;
}

void FreeUndoRing() {
    for (UndoSlot& s : undoRing) {
        free(s.bytes);
        s = UndoSlot{};
    }
    undoNext = 0;
}

void ClearUndoRing() {
    for (UndoSlot& s : undoRing) s.valid = 0;
}

bool PushUndo() {
    LogBeginVerbose(0);
    UndoSlot& s = undoRing[undoNext];
    s.valid = 0;
    s.used = 0;
    bool ok = s.bytes && WriteMesh(&s);
    if (ok) {
        s.length = s.used;
        s.valid = 1;
        undoNext = (undoNext + 1) % UNDO_SLOT_COUNT;
    } else {
        // The slot keeps no half-written image; the ring position stays, so
        // the previous snapshots are still reachable.
        LogPrint("*** could not take an undo snapshot (out of memory)");
    }
    LogEndVerbose();
    return ok;
}

bool PopUndo() {
    undoNext = (undoNext + UNDO_SLOT_COUNT - 1) % UNDO_SLOT_COUNT;
    UndoSlot& s = undoRing[undoNext];
    if (!s.valid) return false;
    s.used = 0;
    // Used up either way: a snapshot that fails its check would fail again.
    s.valid = 0;
    if (!ReadMesh(&s)) {
        LogPrint("*** undo snapshot refused, sculpture kept as it is");
        return false;
    }
    return true;
}
