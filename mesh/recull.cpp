// Reculling by the grid: when the brush leaves its culling cube, the new
// workset is found from what can have changed (the old workset and the ring
// around it) and from the grid cells the new cube overlaps, so a recull costs
// what the cube and the stroke's trail hold instead of every slot of the mesh.
// The result is the one a whole-mesh scan gives: the same inBrush flags, and
// the same lists in slot order.
// This rests on one promise: between two reculls, records change only inside
// the workset and its ring (the tools, refinement and collapses keep it).
// Anything else that moves vertices or sets flags (commands, file reads,
// snapshots) rebuilds the workset or resets the storage, which bumps
// worksetEpoch; the grid is then trusted no more and the next recull scans
// the whole mesh, or it calls InvalidateBrushIndex itself.
// Also keeps which vertices a stroke may have moved, so that the stroke end
// copies refPosition for those alone.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include "mesh/mesh.h"
#include "parallel/parallel.h"

u8 narrowPasses = 1;
u32 worksetEpoch;

static SlotGrid vertexGrid;    // active vertices by position
static SlotGrid triangleGrid;  // active triangles by centre, widened by their radius
static u8 gridReady;           // the grids hold every active record where it was last filed
static u32 gridEpoch;          // worksetEpoch when the grids were last brought up to date
static u8 gridQuiet;           // set by a build: every vertex is filed where it is, while
static u32 gridQuietAt;        // refinementPasses is still this and no recull has run

// ================================================================ candidates

// Per-slot marks: bit 1 = listed as a candidate, bit 2 = ring already added.
enum { MARK_LISTED = 1, MARK_RING = 2 };
struct MarkedList {
    u8* marks;
    i32 markCapacity;
    SlotList slots;
};
static MarkedList candidateVertices, candidateEdges, candidateTriangles;

// Fresh zeroed memory rather than a cleared tail: its pages cost nothing
// until a mark lands there, and marks land only around the brush.
static void SizeMarks(MarkedList& m, i32 capacity) {
    if (capacity <= m.markCapacity) return;
    u8* marks = (u8*)calloc((size_t)capacity, 1);
    if (!marks) OutOfMemory("recull marks", capacity);
    if (m.marks) memcpy(marks, m.marks, (size_t)m.markCapacity);
    free(m.marks);
    m.marks = marks;
    m.markCapacity = capacity;
}

static void Add(MarkedList& m, i32 slot) {
    if (m.marks[slot] & MARK_LISTED) return;
    m.marks[slot] |= MARK_LISTED;
    AppendSlot(m.slots, slot);
}

static void ClearMarks(MarkedList& m) {
    for (i32 i = 0; i < m.slots.count; i++) m.marks[m.slots.items[i]] = 0;
    m.slots.count = 0;
}

// forgetTouched: the workset is being replaced, and what the gathered
// vertices flagged is in the new one; what they flag from here on is new.
static void ClearCandidates(bool forgetTouched) {
    const SlotList& vs = candidateVertices.slots;
    if (forgetTouched)
        for (i32 i = 0; i < vs.count; i++)
            if (candidateVertices.marks[vs.items[i]] & MARK_RING) vertices[vs.items[i]].touched = 0;
    ClearMarks(candidateVertices);
    ClearMarks(candidateEdges);
    ClearMarks(candidateTriangles);
}

// The vertex's edges, their far ends and its triangles: what MarkChanged,
// a relaxation move or a collapse at this vertex can flag.
static void AddRing(i32 slot) {
    u8& mark = candidateVertices.marks[slot];
    if (mark & MARK_RING) return;
    mark |= MARK_RING;
    const Vertex& v = vertices[slot];
    if (!v.active) return;
    for (i32 i = 0; i < v.edgeCount; i++) {
        const Edge* e = v.edges[i];
        Add(candidateEdges, SlotOf(e));
        Add(candidateVertices, SlotOf(e->vertex1 == &v ? e->vertex2 : e->vertex1));
    }
    for (i32 i = 0; i < v.triangleCount; i++) Add(candidateTriangles, SlotOf(v.triangles[i]));
}

// Everything that can have changed since the workset was built: the workset,
// the ring of its vertices, and the corners and sides of its triangles (a
// normal update flags the corners). A removed record's links are not read:
// after a growth they point at freed memory.
static void GatherAroundWorkset() {
    SizeMarks(candidateVertices, vertexCapacity);
    SizeMarks(candidateEdges, edgeCapacity);
    SizeMarks(candidateTriangles, triangleCapacity);
    for (i32 i = 0; i < workset.vertices.count; i++)
        Add(candidateVertices, workset.vertices.items[i]);
    for (i32 i = 0; i < workset.edges.count; i++) Add(candidateEdges, workset.edges.items[i]);
    for (i32 i = 0; i < workset.triangles.count; i++)
        Add(candidateTriangles, workset.triangles.items[i]);
    for (i32 i = 0; i < workset.triangles.count; i++) {
        const Triangle& t = triangles[workset.triangles.items[i]];
        if (!t.active) continue;
        for (i32 k = 0; k < 3; k++) {
            Add(candidateVertices, SlotOf(t.vertices[k]));
            Add(candidateEdges, SlotOf(t.edges[k]));
        }
    }
    // Only a vertex that flagged its ring can have changed records there:
    // most of the cube never felt the brush, and its rings are skipped.
    i32 listed = candidateVertices.slots.count;
    for (i32 i = 0; i < listed; i++) {
        i32 slot = candidateVertices.slots.items[i];
        if (vertices[slot].touched || vertices[slot].changed) AddRing(slot);
    }
    // A collapse's kept vertex may lie one ring out and flags its own ring;
    // REDUCE DETAIL marks it inBrush, which tells it apart.
    for (i32 i = listed; i < candidateVertices.slots.count; i++) {
        const Vertex& v = vertices[candidateVertices.slots.items[i]];
        if (v.active && (v.inBrush || v.touched)) AddRing(candidateVertices.slots.items[i]);
    }
}

// ================================================================ stroke trail

// Vertices that may have moved since the last refPosition copy; complete
// only while trailValid is set and worksetEpoch is still trailEpoch. A vertex
// still on its reference position is left out: if it moves later, it moves
// inside a workset that is noted before it is replaced.
static MarkedList trail;
static u8 trailValid;
static u32 trailEpoch;
static u8 trailQuiet;         // set by a copy: nothing has moved since while refinementPasses
static u32 trailQuietAt;      // is still this
static u32 trailCollapsesAt;  // collapsesDone when the trail last saw a ring

static void AddToTrail(i32 slot) {
    const Vertex& v = vertices[slot];
    if (!v.active) return;
    if (v.position.x == v.refPosition.x && v.position.y == v.refPosition.y &&
        v.position.z == v.refPosition.z)
        return;
    Add(trail, slot);
}

static void AddCandidatesToTrail() {
    SizeMarks(trail, vertexCapacity);
    const SlotList& list = candidateVertices.slots;
    for (i32 i = 0; i < list.count; i++) AddToTrail(list.items[i]);
    trailCollapsesAt = collapsesDone;
}

// The workset's vertices; their rings only when a collapse may have moved a
// kept vertex outside the workset since the trail last looked.
static void AddWorksetToTrail() {
    if (trailCollapsesAt != collapsesDone) {
        GatherAroundWorkset();
        AddCandidatesToTrail();
        ClearCandidates(false);
        return;
    }
    SizeMarks(trail, vertexCapacity);
    for (i32 i = 0; i < workset.vertices.count; i++) AddToTrail(workset.vertices.items[i]);
}

// The trail lists each slot once (its marks), so list positions may divide it.
static void CopyTrailJob(i32 ti, i32 tn) {
    const SlotList& list = trail.slots;
    for (i32 i = ti; i < list.count; i += tn) {
        Vertex& v = vertices[list.items[i]];
        if (v.active) v.refPosition = v.position;
    }
}

void CatchUpRefPositions() {
    if (!narrowPasses || !trailValid || trailEpoch != worksetEpoch) {
        RunMaybeParallel(CopyRefPositionJob, vertexCapacity >= PARALLEL_HEAVY_ITEMS);
    } else {
        AddWorksetToTrail();
        RunMaybeParallel(CopyTrailJob, trail.slots.count >= PARALLEL_HEAVY_ITEMS);
    }
    ClearMarks(trail);
    trailValid = 1;
    trailEpoch = worksetEpoch;
    trailQuiet = 1;
    trailQuietAt = refinementPasses;
    trailCollapsesAt = collapsesDone;
}

// ================================================================ grids

void InvalidateBrushIndex() { worksetEpoch++; }

// Cells no finer than the last build's mesh allows: see MeshCellFloor.
static f32 gridCellFloor;

static f32 CellFor(f32 halfSize) { return std::max(halfSize / 4, gridCellFloor); }

// The finest cell that gives at most one cell per two live vertices. A small
// brush on a small mesh would otherwise spread the mesh thin, a vertex or
// two per cell, and the cell table and its lists would outweigh the records.
static f32 MeshCellFloor(Vec3 extent) {
    f32 widest = std::max(extent.x, std::max(extent.y, extent.z));
    f32 cell = widest / (f32)GRID_MAX_CELLS_PER_AXIS;
    if (!(cell > 0)) return 0;
    double most = std::max(64.0, liveVertexCount / 2.0);
    auto cells = [&](f32 c) {
        return (extent.x / c + 1) * (double)(extent.y / c + 1) * (extent.z / c + 1);
    };
    while (cells(cell) > most) cell *= 1.25f;
    return cell;
}

static bool GridFits(const SlotGrid& g, f32 cellSize) {
    bool finest = std::max(g.dims[0], std::max(g.dims[1], g.dims[2])) == GRID_MAX_CELLS_PER_AXIS;
    return g.cellSize >= cellSize / 8 && (g.cellSize <= cellSize * 2 || finest);
}

// Files every active vertex and triangle afresh, with cells of about a
// quarter of the culling cube's half side (no finer than the mesh allows): a
// cube then spans eight or nine cells a side, and the cells it overlaps hold
// little beyond it.
// Never inside a parallel job: it files on the calling thread.
static void BuildGrids(f32 halfSize) {
    Vec3 low = {0, 0, 0}, high = {0, 0, 0};
    bool any = false;
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        if (!v.active || !IsFinite(v.position)) continue;
        Vec3 p = v.position;
        if (!any) low = high = p;
        any = true;
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    // Without a brush yet, cells of a 32nd of the mesh's width.
    Vec3 extent = high - low;
    gridCellFloor = MeshCellFloor(extent);
    f32 cell =
        halfSize > 0 ? CellFor(halfSize) : std::max(extent.x, std::max(extent.y, extent.z)) / 32;
    ResetSlotGrid(vertexGrid, low, high, cell, vertexCapacity);
    ResetSlotGrid(triangleGrid, low, high, cell, triangleCapacity);
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active) FileSlot(vertexGrid, i, vertices[i].position, 0);
    for (i32 i = 0; i < triangleCapacity; i++) {
        const Triangle& t = triangles[i];
        if (t.active) FileSlot(triangleGrid, i, t.center, t.radius);
    }
    gridReady = 1;
    gridEpoch = worksetEpoch;
    gridQuiet = 1;
    gridQuietAt = refinementPasses;
}

// The candidates may have moved, appeared or gone since they were filed.
static void RefileCandidates() {
    SizeSlotGrid(vertexGrid, vertexCapacity);
    SizeSlotGrid(triangleGrid, triangleCapacity);
    const SlotList& vs = candidateVertices.slots;
    for (i32 i = 0; i < vs.count; i++) {
        const Vertex& v = vertices[vs.items[i]];
        if (v.active)
            FileSlot(vertexGrid, vs.items[i], v.position, 0);
        else
            UnfileSlot(vertexGrid, vs.items[i]);
    }
    const SlotList& ts = candidateTriangles.slots;
    for (i32 i = 0; i < ts.count; i++) {
        const Triangle& t = triangles[ts.items[i]];
        if (t.active)
            FileSlot(triangleGrid, ts.items[i], t.center, t.radius);
        else
            UnfileSlot(triangleGrid, ts.items[i]);
    }
}

// ================================================================ the recull

static void AddVertexCandidate(i32 slot) { Add(candidateVertices, slot); }
static void AddTriangleCandidate(i32 slot) { Add(candidateTriangles, slot); }

// Sorts slot numbers by 11-bit digits, lowest first: a comparison sort of a
// hundred thousand slots was half the cost of a recull.
static SlotList sortScratch;
static void SortSlots(SlotList& list) {
    enum { DIGIT_BITS = 11, BUCKETS = 1 << DIGIT_BITS };
    i32 n = list.count, largest = 0;
    for (i32 i = 0; i < n; i++) largest = std::max(largest, list.items[i]);
    if (sortScratch.capacity < n) {
        free(sortScratch.items);
        sortScratch = SlotList{};
        sortScratch.items = (i32*)malloc(sizeof(i32) * (size_t)n);
        if (!sortScratch.items) OutOfMemory("recull sort", n);
        sortScratch.capacity = n;
    }
    i32 *from = list.items, *to = sortScratch.items;
    for (i32 shift = 0; shift < 31 && (largest >> shift) > 0; shift += DIGIT_BITS) {
        static i32 start[BUCKETS];
        memset(start, 0, sizeof start);
        for (i32 i = 0; i < n; i++) start[(from[i] >> shift) & (BUCKETS - 1)]++;
        for (i32 b = 0, sum = 0; b < BUCKETS; b++) {
            i32 count = start[b];
            start[b] = sum;
            sum += count;
        }
        for (i32 i = 0; i < n; i++) to[start[(from[i] >> shift) & (BUCKETS - 1)]++] = from[i];
        std::swap(from, to);
    }
    if (from != list.items) memcpy(list.items, from, sizeof(i32) * (size_t)n);
}

// Keeps the listed slots that pass, in slot order, as the workset list.
// Sorted first: the test then reads the records in address order, which the
// processor prefetches, instead of scattered as the grid cells list them.
template <typename Keep>
static void ListInOrder(MarkedList& m, SlotList& out, Keep keep) {
    SortSlots(m.slots);
    out.count = 0;
    for (i32 i = 0; i < m.slots.count; i++)
        if (keep(m.slots.items[i])) AppendSlot(out, m.slots.items[i]);
}

i32 gridMinVertices = GRID_MIN_VERTICES;

bool GridInUse() { return narrowPasses && liveVertexCount >= gridMinVertices; }

bool WorksetIsLarge() { return (int64_t)workset.vertices.count * 4 > liveVertexCount; }

// Gathering around the workset costs what it lists, so it beats a scan
// until the list holds most of the mesh. The bar sits above the one for
// building a grid: a cube holding about a quarter of a small mesh would
// otherwise scan, drop the grid and build it again at every recull.
static bool WorksetIsMostOfTheMesh() {
    return (int64_t)workset.vertices.count * 2 > liveVertexCount;
}

bool RecullByGrid(Vec3 boxMin, Vec3 boxMax, f32 halfSize) {
    if (!narrowPasses) return false;
    bool usable = gridReady && gridEpoch == worksetEpoch && GridFits(vertexGrid, CellFor(halfSize));
    bool quiet = gridQuiet && gridQuietAt == refinementPasses;
    gridQuiet = 0;  // the step's tool moves vertices after this
    // A whole-mesh rebuild (a new mesh, a command) left every record listed:
    // a scan is cheaper than gathering around that. The grid still holds if
    // nothing has moved since it was built, the trail if nothing has moved
    // since the last copy.
    if (!GridInUse() || WorksetIsMostOfTheMesh()) {
        if (!(usable && quiet)) gridReady = 0;
        if (!(trailQuiet && trailQuietAt == refinementPasses)) trailValid = 0;
        return false;
    }
    // The trail must see what the outgoing workset held, whichever way it goes.
    GatherAroundWorkset();
    AddCandidatesToTrail();
    if (!usable) {
        ClearCandidates(true);
        gridReady = 0;
        return false;
    }
    RefileCandidates();
    QuerySlotGrid(vertexGrid, boxMin, boxMax, AddVertexCandidate);
    QuerySlotGrid(triangleGrid, boxMin, boxMax, AddTriangleCandidate);
    auto inside = [&](Vec3 p, f32 widen) {
        return p.x > boxMin.x - widen && p.x < boxMax.x + widen && p.y > boxMin.y - widen &&
               p.y < boxMax.y + widen && p.z > boxMin.z - widen && p.z < boxMax.z + widen;
    };
    worksetListsAll = 0;
    ListInOrder(candidateVertices, workset.vertices, [&](i32 s) {
        Vertex& v = vertices[s];
        v.inBrush = v.active && inside(v.position, 0);
        return v.active && (v.inBrush || v.changed);
    });
    ListInOrder(candidateEdges, workset.edges,
                [&](i32 s) { return edges[s].active && edges[s].changed; });
    ListInOrder(candidateTriangles, workset.triangles, [&](i32 s) {
        Triangle& t = triangles[s];
        t.inBrush = t.active && inside(t.center, t.radius);
        return t.active && (t.inBrush || t.changed);
    });
    ClearCandidates(true);
    return true;
}

void PrepareBrushIndex(f32 halfSize) {
    if (!GridInUse()) return;
    bool current = gridReady && gridEpoch == worksetEpoch;
    if (current && (halfSize <= 0 || GridFits(vertexGrid, CellFor(halfSize)))) return;
    BuildGrids(halfSize);
}

void FreeBrushIndex() {
    FreeSlotGrid(vertexGrid);
    FreeSlotGrid(triangleGrid);
    gridReady = 0;
    free(sortScratch.items);
    sortScratch = SlotList{};
    for (MarkedList* m : {&candidateVertices, &candidateEdges, &candidateTriangles, &trail}) {
        free(m->marks);
        free(m->slots.items);
        *m = MarkedList{};
    }
    trailValid = 0;
}
