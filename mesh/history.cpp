// The undo history. A step holds a journal: for every record changed while
// it was open, the record as it was before its first change (inactive slots
// as one byte), plus the live counters, cursors and symmetry switch. Links
// are stored as slot numbers, so growth of the arrays during or after the
// step cannot break them. Undo and redo are the same swap: keep the current
// state of the journal's slots, write the journal back (in reverse for undo,
// so the oldest copy of a record saved twice wins), and keep the current
// state as the step's journal. Owns the steps, journalStamp, historyCount,
// historyPosition and historyBytes.
#include "mesh/history.h"
#include <cstdlib>
#include <cstring>
#include "base/settings.h"
#include "mesh/mesh.h"

enum { MAX_HISTORY_STEPS = 256 };
// A position record is all the relaxation threads save: they move vertices
// and change nothing else.
enum : u8 { RECORD_VERTEX, RECORD_EDGE, RECORD_TRIANGLE, RECORD_POSITION };

namespace {

struct SavedItem {
    int64_t offset;  // into the step's data
    i32 slot;
    u8 kind;
};

struct MeshCounters {
    i32 live[3], display, cursor[3];
    u8 symmetry;
};

struct ByteBuffer {
    u8* bytes;
    int64_t used, capacity;
};

struct HistoryStep {
    ByteBuffer data;
    SavedItem* items;
    int64_t itemCount, itemCapacity;
    MeshCounters counters;  // before the step while it is done, after it while undone
};

// The fixed part of each record; links as slot numbers, -1 for null.
struct SavedVertex {
    u8 active, changed, inBrush, onMirrorLine, folded;
    u32 serial;
    i32 index;
    f32 mask;
    Vec3 position, refPosition, normal, savedPosition, savedNormal;
    i32 triangleCount, edgeCount, mirror;
    EventTag eventTag;
};
struct SavedEdge {
    u8 active, changed;
    i32 index, triangle1, triangle2, vertex1, vertex2;
    f32 length;
    EventTag eventTag;
};
struct SavedTriangle {
    u8 active, fresh, changed, tessDone, inBrush;
    i32 vertices[3], edges[3];
    Vec3 normal;
    i32 index;
    f32 circumference;
    Vec3 center;
    f32 radius;
    EventTag eventTag;
};

}  // namespace

u32 journalStamp = 1;
i32 historyCount, historyPosition;
int64_t historyBytes;
static HistoryStep steps[MAX_HISTORY_STEPS];
static u8 stepOpen;  // the last done step still collects records

// Every record saved under the old stamp counts as unsaved under the new one.
static void NextStamp() {
    if (++journalStamp == 0) journalStamp = 1;
}

// ================================================================ [SECTION] encoding

template <typename T>
static i32 SlotOrNone(const T* p, const T* base) {
    return p ? (i32)(p - base) : -1;
}
template <typename T>
static T* AtSlot(T* base, i32 slot) {
    return slot < 0 ? nullptr : base + slot;
}

static bool Reserve(ByteBuffer& b, int64_t n) {
    if (b.used + n <= b.capacity) return true;
    int64_t capacity = b.capacity ? b.capacity : 4096;
    while (capacity < b.used + n) capacity *= 2;
    u8* bytes = (u8*)realloc(b.bytes, (size_t)capacity);
    if (!bytes) return false;
    historyBytes += capacity - b.capacity;
    b.bytes = bytes;
    b.capacity = capacity;
    return true;
}

static void Put(ByteBuffer& b, const void* p, int64_t n) {
    memcpy(b.bytes + b.used, p, (size_t)n);
    b.used += n;
}

// Room for the largest record: a vertex with full lists.
static const int64_t MAX_RECORD_BYTES =
    sizeof(SavedVertex) + 4 * (MAX_VERTEX_TRIANGLES + MAX_VERTEX_EDGES);

static void PutVertex(ByteBuffer& b, const Vertex& v) {
    SavedVertex s = {v.active,      v.changed,       v.inBrush,   v.onMirrorLine,
                     v.folded,      v.serial,        v.index,     v.mask,
                     v.position,    v.refPosition,   v.normal,    v.savedPosition,
                     v.savedNormal, v.triangleCount, v.edgeCount, SlotOrNone(v.mirror, vertices),
                     v.eventTag};
    Put(b, &s, sizeof s);
    for (i32 i = 0; i < v.triangleCount; i++) {
        i32 slot = SlotOf(v.triangles[i]);
        Put(b, &slot, 4);
    }
    for (i32 i = 0; i < v.edgeCount; i++) {
        i32 slot = SlotOf(v.edges[i]);
        Put(b, &slot, 4);
    }
}

static void TakeVertex(Vertex& v, const u8* p) {
    SavedVertex s;
    memcpy(&s, p, sizeof s);
    v.active = s.active, v.changed = s.changed, v.inBrush = s.inBrush;
    v.onMirrorLine = s.onMirrorLine, v.folded = s.folded, v.serial = s.serial;
    v.index = s.index, v.mask = s.mask, v.position = s.position, v.refPosition = s.refPosition;
    v.normal = s.normal, v.savedPosition = s.savedPosition, v.savedNormal = s.savedNormal;
    v.triangleCount = s.triangleCount, v.edgeCount = s.edgeCount;
    v.mirror = AtSlot(vertices, s.mirror), v.eventTag = s.eventTag;
    const u8* list = p + sizeof s;
    for (i32 i = 0; i < v.triangleCount; i++, list += 4) {
        i32 slot;
        memcpy(&slot, list, 4);
        v.triangles[i] = &triangles[slot];
    }
    for (i32 i = 0; i < v.edgeCount; i++, list += 4) {
        i32 slot;
        memcpy(&slot, list, 4);
        v.edges[i] = &edges[slot];
    }
}

static void PutEdge(ByteBuffer& b, const Edge& e) {
    SavedEdge s = {e.active,
                   e.changed,
                   e.index,
                   SlotOrNone(e.triangle1, triangles),
                   SlotOrNone(e.triangle2, triangles),
                   SlotOrNone(e.vertex1, vertices),
                   SlotOrNone(e.vertex2, vertices),
                   e.length,
                   e.eventTag};
    Put(b, &s, sizeof s);
}

static void TakeEdge(Edge& e, const u8* p) {
    SavedEdge s;
    memcpy(&s, p, sizeof s);
    e.active = s.active, e.changed = s.changed, e.index = s.index;
    e.triangle1 = AtSlot(triangles, s.triangle1), e.triangle2 = AtSlot(triangles, s.triangle2);
    e.vertex1 = AtSlot(vertices, s.vertex1), e.vertex2 = AtSlot(vertices, s.vertex2);
    e.length = s.length, e.eventTag = s.eventTag;
}

static void PutTriangle(ByteBuffer& b, const Triangle& t) {
    SavedTriangle s = {t.active, t.fresh, t.changed, t.tessDone, t.inBrush};
    for (i32 k = 0; k < 3; k++) {
        s.vertices[k] = SlotOrNone(t.vertices[k], vertices);
        s.edges[k] = SlotOrNone(t.edges[k], edges);
    }
    s.normal = t.normal, s.index = t.index, s.circumference = t.circumference;
    s.center = t.center, s.radius = t.radius, s.eventTag = t.eventTag;
    Put(b, &s, sizeof s);
}

static void TakeTriangle(Triangle& t, const u8* p) {
    SavedTriangle s;
    memcpy(&s, p, sizeof s);
    t.active = s.active, t.fresh = s.fresh, t.changed = s.changed;
    t.tessDone = s.tessDone, t.inBrush = s.inBrush;
    for (i32 k = 0; k < 3; k++) {
        t.vertices[k] = AtSlot(vertices, s.vertices[k]);
        t.edges[k] = AtSlot(edges, s.edges[k]);
    }
    t.normal = s.normal, t.index = s.index, t.circumference = s.circumference;
    t.center = s.center, t.radius = s.radius, t.eventTag = s.eventTag;
}

// A free slot's contents are never read again: one byte says it was free.
static bool PutRecord(ByteBuffer& b, u8 kind, i32 slot) {
    if (!Reserve(b, MAX_RECORD_BYTES)) return false;
    if (kind == RECORD_POSITION) {
        Put(b, &vertices[slot].position, sizeof(Vec3));
        return true;
    }
    u8 active = kind == RECORD_VERTEX ? vertices[slot].active
                : kind == RECORD_EDGE ? edges[slot].active
                                      : triangles[slot].active;
    if (!active) {
        Put(b, &active, 1);
        return true;
    }
    if (kind == RECORD_VERTEX) PutVertex(b, vertices[slot]);
    if (kind == RECORD_EDGE) PutEdge(b, edges[slot]);
    if (kind == RECORD_TRIANGLE) PutTriangle(b, triangles[slot]);
    return true;
}

static void TakeRecord(u8 kind, i32 slot, const u8* p) {
    if (kind == RECORD_POSITION) memcpy(&vertices[slot].position, p, sizeof(Vec3));
    if (kind == RECORD_VERTEX)
        p[0] ? TakeVertex(vertices[slot], p) : void(vertices[slot].active = 0);
    if (kind == RECORD_EDGE) p[0] ? TakeEdge(edges[slot], p) : void(edges[slot].active = 0);
    if (kind == RECORD_TRIANGLE)
        p[0] ? TakeTriangle(triangles[slot], p) : void(triangles[slot].active = 0);
}

static MeshCounters CurrentCounters() {
    return {{liveVertexCount, liveEdgeCount, liveTriangleCount},
            displayTriangleCount,
            {vertexCursor, edgeCursor, triangleCursor},
            symmetry};
}

static void TakeCounters(const MeshCounters& c) {
    liveVertexCount = c.live[0], liveEdgeCount = c.live[1], liveTriangleCount = c.live[2];
    displayTriangleCount = c.display;
    vertexCursor = c.cursor[0], edgeCursor = c.cursor[1], triangleCursor = c.cursor[2];
    symmetry = c.symmetry;
}

static bool SameCounters(const MeshCounters& a, const MeshCounters& b) {
    for (i32 k = 0; k < 3; k++)
        if (a.live[k] != b.live[k] || a.cursor[k] != b.cursor[k]) return false;
    return a.display == b.display && a.symmetry == b.symmetry;
}

// ================================================================ [SECTION] the list of steps

static void FreeStep(HistoryStep& s) {
    historyBytes -= s.data.capacity + s.itemCapacity * (int64_t)sizeof(SavedItem);
    free(s.data.bytes);
    free(s.items);
    s = HistoryStep{};
}

static void DropFirst() {
    FreeStep(steps[0]);
    memmove(&steps[0], &steps[1], sizeof(HistoryStep) * (size_t)(historyCount - 1));
    steps[--historyCount] = HistoryStep{};
    if (historyPosition > 0) historyPosition--;
}

static void DropUndone() {
    while (historyCount > historyPosition) FreeStep(steps[--historyCount]);
}

void ClearHistory() {
    while (historyCount > 0) FreeStep(steps[--historyCount]);
    historyPosition = 0;
    stepOpen = 0;
    NextStamp();
}

// Oldest done steps go first, then the furthest undone ones; a step that
// alone needs more than the budget cannot be kept at all.
static void KeepWithinBudget() {
    int64_t budget = (int64_t)undoBudgetMB << 20;
    while (historyBytes > budget) {
        if (historyPosition > (stepOpen ? 1 : 0)) {
            DropFirst();
        } else if (historyCount > historyPosition) {
            FreeStep(steps[--historyCount]);
        } else {
            LogBeginVerbose(0);
            LogPrint("*** undo: one step needs more than %i MB, the history is cleared",
                     undoBudgetMB);
            ClearHistory();
            return;
        }
    }
}

static bool AddItem(HistoryStep& s, u8 kind, i32 slot) {
    if (s.itemCount == s.itemCapacity) {
        int64_t capacity = s.itemCapacity ? s.itemCapacity * 2 : 1024;
        SavedItem* items = (SavedItem*)realloc(s.items, sizeof(SavedItem) * (size_t)capacity);
        if (!items) return false;
        historyBytes += (capacity - s.itemCapacity) * (int64_t)sizeof(SavedItem);
        s.items = items;
        s.itemCapacity = capacity;
    }
    int64_t offset = s.data.used;
    if (!PutRecord(s.data, kind, slot)) return false;
    s.items[s.itemCount++] = {offset, slot, kind};
    return true;
}

// A change while no step is open follows an undo or a redo: the undone steps
// no longer lead on from this mesh, and the last done step takes the change.
static bool StepTakesRecords() {
    if (stepOpen) return true;
    DropUndone();
    if (historyPosition == 0) return false;
    stepOpen = 1;
    NextStamp();
    return true;
}

static void SaveRecord(u8 kind, i32 slot) {
    if (!StepTakesRecords()) return;
    if (!AddItem(steps[historyPosition - 1], kind, slot)) {
        LogBeginVerbose(0);
        LogPrint("*** undo: out of memory, the history is cleared");
        ClearHistory();
        return;
    }
    KeepWithinBudget();
}

void SaveVertexRecord(Vertex* v) {
    SaveRecord(RECORD_VERTEX, SlotOf(v));
    v->undoStamp = journalStamp;
}
void SaveEdgeRecord(Edge* e) {
    SaveRecord(RECORD_EDGE, SlotOf(e));
    e->undoStamp = journalStamp;
}
void SaveTriangleRecord(Triangle* t) {
    SaveRecord(RECORD_TRIANGLE, SlotOf(t));
    t->undoStamp = journalStamp;
}

// A step that saved nothing and changed no counter would make an undo that
// does nothing visible.
static void CloseOpenStep() {
    if (!stepOpen) return;
    stepOpen = 0;
    NextStamp();
    HistoryStep& s = steps[historyPosition - 1];
    if (s.itemCount == 0 && SameCounters(CurrentCounters(), s.counters)) {
        FreeStep(s);
        historyCount--;
        historyPosition--;
    }
}

void BeginHistoryStep() {
    CloseOpenStep();
    DropUndone();
    if (historyCount == MAX_HISTORY_STEPS) DropFirst();
    HistoryStep& s = steps[historyCount++];
    s = HistoryStep{};
    s.counters = CurrentCounters();
    historyPosition = historyCount;
    stepOpen = 1;
    NextStamp();
}

// ================================================================ [SECTION] journal passes

void JournalReach() {
    const SlotList& list = reachVertices;
    for (i32 i = 0; i < list.count; i++) JournalVertex(&vertices[list.items[i]]);
}

// ================================================================ [SECTION] relaxation threads

// Which vertices a relaxation pass moves is only known as it runs: a moved
// vertex marks its neighbours changed, and the pass may reach them later.
// So each thread saves the old position of a vertex it is about to move in
// a list of its own, sized before the pass; the main thread adds the lists
// to the open step afterwards, in thread order.
struct SavedPosition {
    i32 slot;
    Vec3 position;
};
static SavedPosition* threadPositions[MAX_THREADS];
static i32 threadPositionCount[MAX_THREADS], threadPositionCapacity[MAX_THREADS];
static u8 threadJournalOn;  // the pass running now saves positions

void BeginThreadJournals(i32 vertexCount) {
    threadJournalOn = StepTakesRecords();
    i32 threads = threadCount > 1 ? threadCount : 1;
    for (i32 t = 0; t < threads && threadJournalOn; t++) {
        threadPositionCount[t] = 0;
        if (threadPositionCapacity[t] >= vertexCount) continue;
        SavedPosition* p = (SavedPosition*)realloc(threadPositions[t],
                                                   sizeof(SavedPosition) * (size_t)vertexCount);
        if (!p) {  // no room to save what the pass moves: nothing before it can be undone
            ClearHistory();
            threadJournalOn = 0;
            return;
        }
        threadPositions[t] = p;
        threadPositionCapacity[t] = vertexCount;
    }
}

void JournalPositionInJob(const Vertex* v, i32 threadIndex) {
    // A vertex whose whole record this step holds needs nothing more.
    if (!threadJournalOn || v->undoStamp == journalStamp) return;
    i32& n = threadPositionCount[threadIndex];
    // Each vertex moves at most once per pass, and a thread visits at most
    // every vertex of the list the capacity was sized to.
    if (n < threadPositionCapacity[threadIndex])
        threadPositions[threadIndex][n++] = {SlotOf(v), v->position};
}

void EndThreadJournals() {
    if (!threadJournalOn) return;
    threadJournalOn = 0;
    i32 threads = threadCount > 1 ? threadCount : 1;
    for (i32 t = 0; t < threads && historyPosition > 0; t++) {
        for (i32 i = 0; i < threadPositionCount[t]; i++) {
            const SavedPosition& s = threadPositions[t][i];
            Vec3 now = vertices[s.slot].position;
            vertices[s.slot].position = s.position;  // saved as it was, then put back
            bool kept = AddItem(steps[historyPosition - 1], RECORD_POSITION, s.slot);
            vertices[s.slot].position = now;
            if (!kept) {
                ClearHistory();
                return;
            }
        }
        threadPositionCount[t] = 0;
    }
    KeepWithinBudget();
}

void JournalAllVertices() {
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active) JournalVertex(&vertices[i]);
}

// ================================================================ [SECTION] undo and redo

// Normals, centres and lengths around the written-back records follow their
// positions again; unsaved neighbours were computed from the other state.
static void RefreshAround(const HistoryStep& s) {
    for (int64_t i = 0; i < s.itemCount; i++) {
        const SavedItem& it = s.items[i];
        if (it.kind == RECORD_EDGE || it.kind == RECORD_TRIANGLE || !vertices[it.slot].active)
            continue;
        Vertex& v = vertices[it.slot];
        for (i32 k = 0; k < v.edgeCount; k++) EdgeLength(v.edges[k]);
        for (i32 k = 0; k < v.triangleCount; k++) TriangleNormal(v.triangles[k]);
    }
    for (int64_t i = 0; i < s.itemCount; i++) {
        const SavedItem& it = s.items[i];
        if (it.kind == RECORD_EDGE || it.kind == RECORD_TRIANGLE || !vertices[it.slot].active)
            continue;
        Vertex& v = vertices[it.slot];
        for (i32 k = 0; k < v.triangleCount; k++)
            v.triangles[k]->circumference = TriangleCircumference(v.triangles[k]);
        UpdateNormal(&v);
        for (i32 k = 0; k < v.edgeCount; k++) {
            Edge* e = v.edges[k];
            UpdateNormal(e->vertex1 == &v ? e->vertex2 : e->vertex1);
        }
    }
}

// Keeps the current state of the step's slots, writes the step back, and
// makes the kept state the step's journal. False (nothing changed) when
// memory for the kept state cannot be had.
static bool SwapStep(HistoryStep& s, bool undo) {
    ByteBuffer kept = {};
    int64_t* offsets = (int64_t*)malloc(sizeof(int64_t) * (size_t)(s.itemCount ? s.itemCount : 1));
    bool ok = offsets != nullptr;
    for (int64_t i = 0; ok && i < s.itemCount; i++) {
        offsets[i] = kept.used;
        ok = PutRecord(kept, s.items[i].kind, s.items[i].slot);
    }
    if (!ok) {
        historyBytes -= kept.capacity;
        free(kept.bytes);
        free(offsets);
        return false;
    }
    for (int64_t n = 0; n < s.itemCount; n++) {
        const SavedItem& it = s.items[undo ? s.itemCount - 1 - n : n];
        TakeRecord(it.kind, it.slot, s.data.bytes + it.offset);
    }
    for (int64_t i = 0; i < s.itemCount; i++) s.items[i].offset = offsets[i];
    free(offsets);
    historyBytes -= s.data.capacity;
    free(s.data.bytes);
    s.data = kept;
    MeshCounters now = CurrentCounters();
    TakeCounters(s.counters);
    s.counters = now;
    RefreshAround(s);
    InvalidateBrushIndex();  // records outside the workset changed: the next recull scans
    NextStamp();             // the next change, whatever it is, goes through StepTakesRecords
    arraysDirty = fullRebuild = colorsDirty = meshChanged = savedArraysDirty = 1;
    return true;
}

bool UndoStep() {
    CloseOpenStep();
    if (historyPosition == 0 || !SwapStep(steps[historyPosition - 1], true)) return false;
    historyPosition--;
    KeepWithinBudget();
    return true;
}

bool RedoStep() {
    CloseOpenStep();
    if (historyPosition == historyCount || !SwapStep(steps[historyPosition], false)) return false;
    historyPosition++;
    KeepWithinBudget();
    return true;
}
