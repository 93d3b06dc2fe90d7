// A uniform grid over slot numbers: each filed slot sits in the cell of its
// point (a vertex's position, a triangle's centre), so a box query visits the
// cells the box overlaps instead of every slot of the mesh. The grid never
// reads the records itself: its owner files a slot again whenever it may have
// moved, and the query returns candidates that the owner tests exactly.
// Points outside the grid's bounds are clamped into the border cells, which
// keeps every slot findable whatever the mesh does after the grid was built.
#include <cstdlib>
#include <cstring>
#include "mesh/mesh.h"

static i32 CellAxis(const SlotGrid& g, f32 value, i32 axis) {
    f32 origin = axis == 0 ? g.origin.x : axis == 1 ? g.origin.y : g.origin.z;
    f32 c = (value - origin) / g.cellSize;
    // NaN and far points land in the border cells rather than off the grid.
    if (!(c > 0)) return 0;
    if (c >= (f32)(g.dims[axis] - 1)) return g.dims[axis] - 1;
    return (i32)c;
}

static i32 CellOf(const SlotGrid& g, Vec3 p) {
    return (CellAxis(g, p.z, 2) * g.dims[1] + CellAxis(g, p.y, 1)) * g.dims[0] +
           CellAxis(g, p.x, 0);
}

void FreeSlotGrid(SlotGrid& g) {
    for (i32 i = 0; i < g.cellCount; i++) free(g.cells[i].items);
    free(g.cells);
    free(g.cellOf);
    free(g.placeOf);
    g = SlotGrid{};
}

// Sizes the per-slot tables for slotCapacity slots; new slots are unfiled.
void SizeSlotGrid(SlotGrid& g, i32 slotCapacity) {
    if (slotCapacity <= g.slotCapacity) return;
    i32* cellOf = (i32*)realloc(g.cellOf, sizeof(i32) * (size_t)slotCapacity);
    if (!cellOf) OutOfMemory("grid slots", slotCapacity);
    g.cellOf = cellOf;
    i32* placeOf = (i32*)realloc(g.placeOf, sizeof(i32) * (size_t)slotCapacity);
    if (!placeOf) OutOfMemory("grid slots", slotCapacity);
    g.placeOf = placeOf;
    for (i32 i = g.slotCapacity; i < slotCapacity; i++) g.cellOf[i] = -1;
    g.slotCapacity = slotCapacity;
}

// An empty grid covering [low, high] with cells of about cellSize.
void ResetSlotGrid(SlotGrid& g, Vec3 low, Vec3 high, f32 cellSize, i32 slotCapacity) {
    FreeSlotGrid(g);
    Vec3 extent = high - low;
    f32 widest = extent.x > extent.y ? extent.x : extent.y;
    if (extent.z > widest) widest = extent.z;
    if (!(cellSize > 0)) cellSize = 1;
    if (widest / cellSize > (f32)GRID_MAX_CELLS_PER_AXIS)
        cellSize = widest / (f32)GRID_MAX_CELLS_PER_AXIS;
    g.origin = low;
    g.cellSize = cellSize;
    const f32 sides[3] = {extent.x, extent.y, extent.z};
    for (i32 a = 0; a < 3; a++) {
        i32 n = (i32)(sides[a] / cellSize) + 1;
        g.dims[a] = n < 1 ? 1 : n > GRID_MAX_CELLS_PER_AXIS ? GRID_MAX_CELLS_PER_AXIS : n;
    }
    g.cellCount = g.dims[0] * g.dims[1] * g.dims[2];
    g.cells = (SlotList*)calloc((size_t)g.cellCount, sizeof(SlotList));
    if (!g.cells) OutOfMemory("grid cells", g.cellCount);
    SizeSlotGrid(g, slotCapacity);
    g.maxRadius = 0;
}

void UnfileSlot(SlotGrid& g, i32 slot) {
    i32 cell = g.cellOf[slot];
    if (cell < 0) return;
    SlotList& list = g.cells[cell];
    i32 place = g.placeOf[slot];
    i32 last = list.items[--list.count];
    list.items[place] = last;
    g.placeOf[last] = place;
    g.cellOf[slot] = -1;
}

// Files the slot under p (moving it when it sat elsewhere); radius is how far
// the slot's shape reaches around p, so queries widen by the largest one.
void FileSlot(SlotGrid& g, i32 slot, Vec3 p, f32 radius) {
    if (radius > g.maxRadius) g.maxRadius = radius;
    i32 cell = CellOf(g, p);
    if (g.cellOf[slot] == cell) return;
    UnfileSlot(g, slot);
    SlotList& list = g.cells[cell];
    g.placeOf[slot] = list.count;
    AppendSlot(list, slot);
    g.cellOf[slot] = cell;
}

// Calls visit(slot) for every slot filed in a cell that the box [low, high],
// widened by the largest filed radius, overlaps.
void QuerySlotGrid(const SlotGrid& g, Vec3 low, Vec3 high, void (*visit)(i32 slot)) {
    f32 w = g.maxRadius;
    i32 from[3] = {CellAxis(g, low.x - w, 0), CellAxis(g, low.y - w, 1), CellAxis(g, low.z - w, 2)};
    i32 to[3] = {CellAxis(g, high.x + w, 0), CellAxis(g, high.y + w, 1),
                 CellAxis(g, high.z + w, 2)};
    for (i32 z = from[2]; z <= to[2]; z++)
        for (i32 y = from[1]; y <= to[1]; y++)
            for (i32 x = from[0]; x <= to[0]; x++) {
                const SlotList& list = g.cells[(z * g.dims[1] + y) * g.dims[0] + x];
                for (i32 i = 0; i < list.count; i++) visit(list.items[i]);
            }
}
