// Wavefront OBJ export and import. The file holds the model turned half a
// revolution about the y axis (x and z negated); a symmetric sculpture is
// written whole, its mirrored half joined to the first along the seam, with
// a "# symmetry 1" comment so that the import reads back only the stored
// half. Main thread only.
#pragma once
#include "base/base.h"

enum {
    // An import is subdivided until it has at least this many triangles, so
    // that a low-polygon model can be sculpted at once.
    IMPORT_MIN_TRIANGLES = 2000,
    // The lines before the data that the import searches for "# symmetry".
    IMPORT_SYMMETRY_LINES = 6,
};
// An imported model is centred and scaled to this half box diagonal.
constexpr f32 IMPORT_HALF_DIAGONAL = 150;

// Writes positions, vertex normals and triangles (with the mirrored half in
// symmetric mode) through a temporary file renamed over path. False, with a
// "file error" log line, when the file cannot be written; path is untouched.
bool ExportObj(const char* path);
// Reads and checks the whole file first; only a file that yields at least
// one usable triangle replaces the sculpture (fresh storage, the symmetry
// switch as the file states it). Faces that cannot be used are skipped with
// one "***" log line per kind of fault. False, with a "file error" line:
// nothing changed.
bool ImportObj(const char* path);
