// The one triangle mesh: three flat, growable arrays of fixed-size records
// that point at one another by address, the live counters, the workset, and
// the operations that create, remove, measure and relax records.
//
// Addresses move when an array grows, and any creation may grow one. Across a
// creation hold slot numbers, or re-read addresses from records that growth
// rebased (an edge's ends, a triangle's corners).
//
// No GL here: edits raise the render flags below and the renderer consumes them.
#pragma once
#include "base/base.h"
#include "base/log.h"

#include "parallel/parallel.h"

struct Triangle;
struct Edge;

// ---- profiler sections of the mesh passes
enum {
    PROF_BEAUTIFY = 0,
    PROF_UPDATENORMALS = 1,
    PROF_TESSELATEFORBRUSH = 2,
    PROF_TESSELATE = 3,
    PROF_ALIGNTRIANGLE = 4,
    PROF_UPDATEBRUSHCULLING = 6,
    PROF_ENFORCESYMMETRYLINE = 10,
    PROF_TESSELATETRI = 12,
    PROF_TRIANGLECIRCUMFERENCE = 13,
    PROF_EDGELENGTH = 14,
    PROF_TRIANGLENORMAL = 15,
    PROF_VERTUPDATENORMAL = 16,
    PROF_MANAGEMEMORY = 19,
    PROF_UPDATEWORKSET = 21,
};
inline constexpr ProfileSectionName meshProfileSections[] = {
    {PROF_BEAUTIFY, "beautify"},
    {PROF_UPDATENORMALS, "updatenormals"},
    {PROF_TESSELATEFORBRUSH, "tesselateforbrush"},
    {PROF_TESSELATE, "tesselate"},
    {PROF_ALIGNTRIANGLE, "aligntriangle"},
    {PROF_UPDATEBRUSHCULLING, "updatebrushculling"},
    {PROF_ENFORCESYMMETRYLINE, "enforcesymmetryline"},
    {PROF_TESSELATETRI, "tesselatetri"},
    {PROF_TRIANGLECIRCUMFERENCE, "trianglecircumference"},
    {PROF_EDGELENGTH, "edgelength"},
    {PROF_TRIANGLENORMAL, "trianglenormal"},
    {PROF_VERTUPDATENORMAL, "vertupdatenormal"},
    {PROF_MANAGEMEMORY, "managememory"},
    {PROF_UPDATEWORKSET, "updateworkset"},
};

enum { MAX_VERTEX_TRIANGLES = 24, MAX_VERTEX_EDGES = 24, INITIAL_CAPACITY = 20000 };
// The most records a sculpture file may hold. Refinement stops there (at half
// with symmetry on, whose mirrored whole is twice as large): a sculpture past
// it would save into a file that no reader takes back.
enum { MAX_MESH_VERTICES = 8000000, MAX_MESH_TRIANGLES = 8000000 };

struct Vertex {
    u8 active;        // 1 = slot in use
    u8 changed;       // moved or neighbourhood changed since the last normal/beautify pass
    u8 inBrush;       // inside the current brush's culling box
    u8 onMirrorLine;  // lies on x = 0 while symmetric editing is on
    u8 folded;        // the normals of its triangles disagree
    // It flagged the records around it since the culling last gathered them:
    // set by MarkChanged, MarkShapeChanged and the relaxation, cleared by
    // the grid recull once it has looked at its ring
    u8 touched;
    u8 inReach;  // listed in reachVertices; set and cleared by the reach listing
    // journalStamp when the history last saved this record; beside the
    // position, since every brush step reads both for the vertices near it
    u32 undoStamp;
    u32 serial;  // scratch numbering for the writers
    i32 index;   // own slot number; never filled in (SlotOf gives it)
    f32 mask;    // 0 = frozen .. 1 = free
    Vec3 position;
    Vec3 refPosition;  // reference surface the next stroke builds on
    Vec3 normal;       // unit vertex normal
    Triangle* triangles[MAX_VERTEX_TRIANGLES];
    Vec3 savedPosition;
    Vec3 savedNormal;
    i32 triangleCount;
    Edge* edges[MAX_VERTEX_EDGES];
    i32 edgeCount;
    Vertex* mirror;  // scratch of the symmetry switch
    EventTag eventTag;
};

struct Edge {
    u8 active;
    u8 changed;  // length or neighbourhood changed
    i32 index;   // own slot number
    Triangle* triangle1;
    Triangle* triangle2;  // null on a border edge
    Vertex* vertex1;
    Vertex* vertex2;
    f32 length;  // as last computed by EdgeLength
    EventTag eventTag;
    u32 undoStamp;  // journalStamp when the history last saved this record
};

struct Triangle {
    u8 active;
    u8 fresh;             // created since the last subdivision pass or brush measurement
    u8 changed;           // needs its normal recomputed
    u8 tessDone;          // TesselateForBrush has finished with it
    u8 inBrush;           // bounding sphere touches the brush culling box
    Vertex* vertices[3];  // winding order
    Edge* edges[3];       // edge k joins corner k and corner (k+1) % 3
    Vec3 normal;
    i32 index;          // own slot number
    f32 circumference;  // sum of the edges' stored lengths
    Vec3 center;        // centroid
    f32 radius;         // largest centre-to-corner distance
    EventTag eventTag;
    u32 undoStamp;  // journalStamp when the history last saved this record
};

// Slot lists naming what changed or lies near the brush.
struct SlotList {
    i32* items;
    i32 count;
    i32 capacity;
};
struct GeometrySet {
    SlotList vertices, edges, triangles;
};

// The cube around the brush that the per-step passes are limited to. The
// brush record holds one (tools/brush.h); the culling reads and writes it.
struct BrushCulling {
    Vec3 cullCenterNow;  // centre the culling uses this step
    Vec3 cullCenter;     // centre of the last full culling
    f32 cullHalfSize;    // half side of the culling cube, in step with the radius
    u8 cullValid;        // cube valid; cleared every frame without a stroke
};

struct IndexTriple {
    u32 v[3];
};

// ---- undo journal hooks (history.cpp)
// Every operation that changes a record's file-visible fields or links calls
// the matching Journal* first, so the history can write the old record back.
// A record already saved for the step in progress carries the current stamp
// and costs one compare. Main thread only: parallel passes have their records
// saved before they start (JournalReach) or save them per thread
// (JournalPositionInJob).
extern u32 journalStamp;  // changed by the history whenever a step opens or closes
void SaveVertexRecord(Vertex* v);
void SaveEdgeRecord(Edge* e);
void SaveTriangleRecord(Triangle* t);
inline void JournalVertex(Vertex* v) {
    if (v->undoStamp != journalStamp) SaveVertexRecord(v);
}
inline void JournalEdge(Edge* e) {
    if (e->undoStamp != journalStamp) SaveEdgeRecord(e);
}
inline void JournalTriangle(Triangle* t) {
    if (t->undoStamp != journalStamp) SaveTriangleRecord(t);
}
// Saves every vertex of the brush's reach (reachVertices): all that the
// step's tool may change.
void JournalReach();
// The relaxation pass: sized for a list of vertexCount before it, each job
// thread saves a vertex's position before it moves it, and the saved
// positions join the open step after it.
void BeginThreadJournals(i32 vertexCount);
void JournalPositionInJob(const Vertex* v, i32 threadIndex);
void EndThreadJournals();
void JournalAllVertices();  // whole-mesh edits: the symmetry switch, the mask fill

// ---- storage (storage.cpp)
// The arrays and capacities: set by ResetAllocation and growth alone.
extern Vertex* vertices;     // vertexCapacity records
extern Edge* edges;          // edgeCapacity records
extern Triangle* triangles;  // triangleCapacity records
extern i32 vertexCapacity, edgeCapacity, triangleCapacity;
// Active records: counted by the operations that create and free records
// (AddVertex, AddEdge, AddTriangle, RemoveTriangle, and the vertex a collapse
// or an abandoned split frees), zeroed by ResetAllocation and the image reader.
extern i32 liveVertexCount, liveEdgeCount, liveTriangleCount;
// Kept like liveTriangleCount by AddTriangle and RemoveTriangle for the
// interface's triangle count.
extern i32 displayTriangleCount;
// Where the next free-slot search starts: moved by the search, back to 0 by
// ResetAllocation and ClearAllSlots.
extern i32 vertexCursor, edgeCursor, triangleCursor;
// One past the highest slot the search has handed out since ResetAllocation
// or ClearAllSlots (which zero it); raised by the search alone. No record
// lies beyond it, so growth copies no more than this, and the memory beyond
// has never been touched.
extern i32 vertexReach, edgeReach, triangleReach;
// Appended to by the record creators and removers, rebuilt by UpdateWorkset
// and the brush culling, set to every record by StoreRestState.
extern GeometrySet workset;

// Render-side arrays, one element per vertex slot (indexArray: per triangle
// slot). Sized by storage on reset and growth, filled by the renderer.
extern Vec3* positionArray;
extern Vec3* normalArray;
extern Vec3* colorArray;
extern Vec3* savedPositionArray;
extern Vec3* savedNormalArray;
extern IndexTriple* indexArray;

// ---- render flags: raised by the mesh operations, the tools and the frame
// commands; cleared by the renderer (DrawScene, UploadRenderArrays)
extern u8 arraysDirty;       // render arrays need a (workset) rebuild
extern u8 fullRebuild;       // rebuild every slot, not just the workset
extern u8 colorsDirty;       // colours (mask view) need refilling
extern u8 meshChanged;       // triangles were created or removed, or storage changed
extern u8 savedArraysDirty;  // saved positions/normals need uploading
// Bump shading on: StoreRestState keeps saved positions and normals. Switched
// by the K command (app/); the renderer reads it.
extern u8 bumpShading;

inline i32 SlotOf(const Vertex* v) { return (i32)(v - vertices); }
inline i32 SlotOf(const Edge* e) { return (i32)(e - edges); }
inline i32 SlotOf(const Triangle* t) { return (i32)(t - triangles); }

void ResetAllocation();
void FreeAllocation();  // releases every array (shutdown)
Vertex* AddVertex(f32 x, f32 y, f32 z);
i32 FindFreeEdgeSlot();
i32 FindFreeTriangleSlot();
bool AllocateVertices();
bool AllocateEdges();
bool AllocateTriangles();
// Grows the arrays up front for a whole mesh of v vertices and t triangles,
// so that building it never runs a full-circle search or copies arrays
// half-filled (the readers of files and snapshots). False: the memory could
// not be had (the arrays grown so far stay).
bool ReserveRecords(i32 v, i32 t);
// Grows early, between steps. Growth that cannot get memory leaves the
// arrays as they are, with one "***" line, and refinement stops adding detail
// once the free slots are used up.
void ManageMemory();
// Free slots for v vertices, e edges and t triangles, growing an array that
// lacks them; false when the memory cannot be had (a split is then refused).
bool MakeRoomForRecords(i32 v, i32 e, i32 t);
// Single record or render arrays larger than this many bytes fail to
// allocate (0: no limit). Set by the tests to stand in for a full memory.
extern int64_t recordAllocationLimit;
void ClearAllSlots();  // every slot inactive, cursors 0 (before a whole-mesh build)
// Memory for a mesh array or list could not be had where there is no way to
// keep the mesh: a fresh storage (the sculpture it replaces is gone), a full
// circle of the free-slot search that cannot grow (reached only by creators
// that did not ask for room first: the readers check the size against the
// machine's memory up front), a workset or grid list. Logs a "###" line and
// stops before anything writes through a null array.
[[noreturn]] void OutOfMemory(const char* what, i32 records);

// ---- workset (workset.cpp)
void ResetGeometrySet(GeometrySet& set);
void CollectAll(GeometrySet& set);
void AppendSlot(SlotList& list, i32 slot);
void UpdateWorkset();
// Keeps the cube around center and the workset in step with
// it. A full recull only when the cube no longer holds the brush; otherwise
// the workset is merely rebuilt between strokes (during one it is kept).
void UpdateBrushCulling(BrushCulling& cull, Vec3 center, f32 radius, bool strokeRunning);
// The workset's vertices a brush step can move, in workset order: those
// within `radius` (and a hair) of the centre by position or of `reference`
// (the anchor the transform tools measure from) by reference position,
// mirror images included. Listed by the culling before the step's
// refinement and extended by ExtendReach with what the refinement added, so
// the tools walk a few thousand vertices instead of the whole cube.
extern SlotList reachVertices;
void CollectReach(Vec3 center, Vec3 reference, f32 radius);
// Adds the workset's vertices from list position `from` on that lie in reach.
void ExtendReach(i32 from);
void StoreRestState();
// Cull with a cube hugging the brush (half side 1.25 radii; 4 when off),
// recull through the grid below, and let the normal and edge-length passes
// clear the flags they consume. Set at start; the tests clear it to compare
// with the whole-mesh path.
extern u8 narrowPasses;
// Bumped by every workset rebuild other than the culling's and by storage
// resets: whatever may have moved or flagged records outside the workset.
extern u32 worksetEpoch;
// The workset lists every active record, changed or not: set by CollectAll,
// cleared by the rebuilds.
extern u8 worksetListsAll;
// Relaxation cycles run so far; counted by RefinementCycle.
extern u32 refinementPasses;
// The normal and edge-length passes clear the triangle and edge flags they
// consume: set by RefinementCycle for its passes when narrowPasses is on.
extern u8 consumeChangedFlags;
void ClearChangedJob(i32 threadIndex, i32 threadCount);     // every record's changed = 0
void CopyRefPositionJob(i32 threadIndex, i32 threadCount);  // refPosition = position

// ---- culling through a grid (spatialindex.cpp, recull.cpp)
// Finer grids cost more cells per query than they save in slots.
constexpr i32 GRID_MAX_CELLS_PER_AXIS = 128;
// Slot numbers filed by the cell of a point; a query returns every slot of
// the cells a box (widened by the largest filed radius) overlaps.
struct SlotGrid {
    Vec3 origin;      // low corner of cell (0, 0, 0)
    f32 cellSize;     // side of a cell, model units
    i32 dims[3];      // cells per axis
    i32 cellCount;    // dims[0] * dims[1] * dims[2]
    SlotList* cells;  // slots filed per cell, unordered
    i32* cellOf;      // per slot: its cell, -1 = not filed
    i32* placeOf;     // per slot: its place in its cell's list
    i32 slotCapacity;
    f32 maxRadius;  // largest radius ever filed since the reset
};
void ResetSlotGrid(SlotGrid& g, Vec3 low, Vec3 high, f32 cellSize, i32 slotCapacity);
void SizeSlotGrid(SlotGrid& g, i32 slotCapacity);
void FreeSlotGrid(SlotGrid& g);
void FileSlot(SlotGrid& g, i32 slot, Vec3 p, f32 radius);
void UnfileSlot(SlotGrid& g, i32 slot);
void QuerySlotGrid(const SlotGrid& g, Vec3 low, Vec3 high, void (*visit)(i32 slot));
// The recull of the box [boxMin, boxMax] from the grid; false when it must
// scan the whole mesh instead (grid stale or too coarse, or the workset holds
// most of the mesh). Either way it notes the outgoing workset in the trail.
bool RecullByGrid(Vec3 boxMin, Vec3 boxMax, f32 halfSize);
// The workset lists a quarter of the live vertices or more: a grid for such
// a cube pays nothing, so the culling builds none after a scan.
bool WorksetIsLarge();
// Below this many live vertices reculls scan and no grid is built: the scan
// costs less there than filing the mesh, which a start sphere refining under
// the brush would otherwise do in the middle of a stroke. Tests lower it to
// reach the grid with small meshes.
constexpr i32 GRID_MIN_VERTICES = 16384;
extern i32 gridMinVertices;
// Reculls may go through the grid: narrow passes on a mesh of at least
// gridMinVertices live vertices.
bool GridInUse();
// Builds the grid for cubes of this half side unless a fitting one is up to
// date; the culling and the settle call it (0: sized from the mesh).
void PrepareBrushIndex(f32 halfSize);
// Something moved records outside the workset: scan on the next recull.
void InvalidateBrushIndex();
void FreeBrushIndex();
// refPosition = position for every vertex moved since the last copy: the
// stroke's trail when it is known, else the whole mesh.
void CatchUpRefPositions();

// ---- topology (topology.cpp)
Edge* AddEdge(Vertex* a, Vertex* b);
Edge* FindEdge(Vertex* v, Vertex* a, Vertex* b);
Triangle* AddTriangle(Vertex* a, Vertex* b, Vertex* c, i32 slot = -1);
// Whether AddTriangle has room to link three distinct corners: room in each
// corner's lists and on each side. Silent, for readers that count refusals.
bool TriangleFits(Vertex* a, Vertex* b, Vertex* c);
i32 RemoveTriangle(Triangle* t, bool removeLooseVertices);
void AlignTriangle(Triangle* t, Vec3 direction);
void MarkChanged(Vertex* v, u8 flag);
// MarkChanged (v, 1) inside a parallel job whose threads move disjoint vertices.
void MarkChangedInJob(Vertex* v);
// The vertex moved but is not to be relaxed for it: only its edges' lengths
// and its triangles' normals are flagged for recomputing.
void MarkShapeChanged(Vertex* v);
void RelaxVertex(Vertex* v, f32 factor);

// ---- geometry and normals (normals.cpp)
f32 EdgeLength(Edge* e);         // measures and stores the length
f32 MeasureEdge(const Edge* e);  // measures it alone
f32 TriangleCircumference(Triangle* t);
void TriangleNormal(Triangle* t);
void UpdateNormal(Vertex* v);
void UpdateNormals();
void EdgeLengthJob(i32 threadIndex, i32 threadCount);  // workset edges

// ---- relaxation (beautify.cpp)
// Consecutive beautify passes that moved nothing: counted by Beautify, zeroed
// with meshSettled by the frame logic when it restarts the refinement.
extern i32 quietBeautifyPasses;
// Nothing left to relax: set by Beautify after three quiet passes and by the
// frame logic 30 frames after a stroke; cleared by Beautify when a vertex
// moves and by the frame logic on a stroke, open, undo or new mesh.
extern u8 meshSettled;
// Fewest moves of a relaxation pass that go to the workers; fewer are made
// on the calling thread. Fixed; the tests lower it to run the workers.
extern i32 parallelMovesFrom;
void Beautify();
// The upkeep after every edit step: normals, one relaxation pass, the edge
// lengths the next step's splits read, and room for the next step's records.
void RefinementCycle();

// ---- tessellation (tessellate.cpp): splits under the brush
// Splits the workset's triangles that the brush sphere touches until their
// perimeter is within the detail bias and the tool's factor allow.
void TesselateForBrush(Vec3 center, f32 radius, f32 factor);
// Edges shorter than this share of the brush radius never split.
constexpr f32 MIN_EDGE_PER_RADIUS = 1.0f / 12;
// Splits the triangle's longest edge (never `excluded`); edges shorter than
// minEdgeLength are left whole. The new vertex, or null when refused.
Vertex* SplitLongestEdge(Triangle* t, Edge* excluded, f32 minEdgeLength);
Vertex* Tesselate(Edge* e, f32 minEdgeLength);
Vec3 CubicBezier(Vec3 p0, Vec3 c1, Vec3 c2, Vec3 p3, f32 t);

// ---- edge collapse (collapse.cpp): the kept vertex, or null when refused
Vertex* CollapseEdge(Edge* e);
// Collapses carried out so far; counted by CollapseEdge. The kept vertex
// moves, and it may lie outside the workset.
extern u32 collapsesDone;

// ---- start meshes (startmesh.cpp)
void SubdivideAll();  // midpoints kept by slot in a table sized to the edge array
void BuildSphere();
void BuildPlane();
// A fresh storage with the start mesh of the given type (1 = plane, else
// sphere), cut to its half when symmetric editing is on: start-up and the
// new-mesh commands then clear its changed flags, so it has nothing to relax.
void BuildStartMesh(i32 meshType);

// ---- symmetry switch and mirror line (symmetry.cpp)
// Pins the changed mirror-line vertices of the workset back onto x = 0.
void EnforceSymmetryLine();
// Switches symmetric editing on (the mesh is cut to its x >= 0 half, the
// seam flagged onMirrorLine at x = 0) or off (the mirrored half is added and
// joined along the seam). Switching to the state already set changes no
// topology; the workset, normals and rest state are refreshed either way.
// Switching off leaves it on when the mirrored half finds no memory.
void SetSymmetry(u8 on);
// Switches off and back to the current setting, so a freshly built mesh
// matches it (a whole mesh is cut in half when symmetry is on).
void ReapplySymmetry();

// ---- consistency (check.cpp)
// Checks every invariant of the mesh; on a fault writes its description into
// report (when given) and returns false. The tests run it after their edits;
// the program itself never calls it.
bool CheckMesh(char* report = nullptr, i32 reportSize = 0);
