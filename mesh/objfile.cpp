// Wavefront OBJ export and import. The writer formats every line into one
// large buffer; the reader takes the whole file into memory, parses and
// checks it there, and only then replaces the sculpture, so a file that
// yields nothing usable leaves the user's work as it was.
// Writes the vertices' `serial` (export), and on import the whole mesh and
// the `symmetry` switch. No record is touched before a file has passed.
#include "mesh/objfile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/settings.h"
#include "mesh/mesh.h"
#include "mesh/meshfile.h"

// ================================================================ [SECTION] writing

namespace {

enum { WRITE_BUFFER_BYTES = 1 << 20, LONGEST_LINE = 256 };

// Lines are formatted in place; the buffer goes to the file when the next
// line might not fit.
struct ObjWriter {
    FILE* file;
    char* buffer;
    size_t used;
    bool failed;
};

void Flush(ObjWriter& w) {
    if (w.used && fwrite(w.buffer, 1, w.used, w.file) != w.used) w.failed = true;
    w.used = 0;
}

char* PutUnsigned(char* out, u64 n) {
    char digits[20];
    i32 count = 0;
    do {
        digits[count++] = (char)('0' + n % 10);
        n /= 10;
    } while (n);
    while (count) *out++ = digits[--count];
    return out;
}

// Exactly what "%.6f" prints, a few times faster. A float times 10^6 is exact
// in a double (24 + 14 significant bits), and llrint rounds an exact tie to
// even as printf does. A value no reader could take (not a number, or
// infinite) never sits in a checked mesh; it is written as 0.
char* PutFixed6(char* out, f32 f) {
    double d = std::isfinite(f) ? f : 0.0;
    if (!(std::fabs(d) < 9e12)) return out + snprintf(out, LONGEST_LINE / 4, "%.6f", d);
    if (std::signbit(d)) *out++ = '-';
    u64 scaled = (u64)std::llrint(std::fabs(d) * 1e6);
    out = PutUnsigned(out, scaled / 1000000);
    *out++ = '.';
    u32 fraction = (u32)(scaled % 1000000);
    for (i32 i = 5; i >= 0; i--, fraction /= 10) out[i] = (char)('0' + fraction % 10);
    return out + 6;
}

void PutText(ObjWriter& w, const char* text) {
    size_t n = strlen(text);
    memcpy(w.buffer + w.used, text, n);
    w.used += n;
}

// "<tag> x y z" with the half-turn (x and z negated), or in the mirrored half
// the reflection of that (z negated only).
void PutVectorLine(ObjWriter& w, const char* tag, Vec3 p, bool mirrored) {
    char* out = w.buffer + w.used;
    while (*tag) *out++ = *tag++;
    out = PutFixed6(out, mirrored ? p.x : -p.x);
    *out++ = ' ';
    out = PutFixed6(out, p.y);
    *out++ = ' ';
    out = PutFixed6(out, -p.z);
    *out++ = '\n';
    w.used = (size_t)(out - w.buffer);
    if (w.used > WRITE_BUFFER_BYTES - LONGEST_LINE) Flush(w);
}

// "f a//a b//b c//c": vertex and normal numbers are the same, 1-based.
void PutFaceLine(ObjWriter& w, const u32 (&numbers)[3]) {
    char* out = w.buffer + w.used;
    *out++ = 'f';
    for (u32 n : numbers) {
        *out++ = ' ';
        out = PutUnsigned(out, n);
        *out++ = '/';
        *out++ = '/';
        out = PutUnsigned(out, n);
    }
    *out++ = '\n';
    w.used = (size_t)(out - w.buffer);
    if (w.used > WRITE_BUFFER_BYTES - LONGEST_LINE) Flush(w);
}

bool Writable(const Triangle& t) {
    return t.active && t.vertices[0]->active && t.vertices[1]->active && t.vertices[2]->active;
}

// One half: every active vertex's position and normal in slot order, then the
// triangles. The mirrored half repeats every vertex line (V more of each),
// but its faces use the first half's numbers for the seam vertices, so the
// two halves form one surface; its corners run backwards so that the
// reflected triangles keep facing outward.
void WriteHalf(ObjWriter& w, bool mirrored, u32 vertexCount) {
    u32 k = 0;
    for (i32 i = 0; i < vertexCapacity; i++) {
        Vertex& v = vertices[i];
        if (!v.active) continue;
        v.serial = mirrored && !v.onMirrorLine ? vertexCount + k : k;
        k++;
        PutVectorLine(w, "v ", v.position, mirrored);
    }
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active) PutVectorLine(w, "vn ", vertices[i].normal, mirrored);
    for (i32 i = 0; i < triangleCapacity; i++) {
        const Triangle& t = triangles[i];
        if (!Writable(t)) continue;
        u32 a = t.vertices[0]->serial + 1, b = t.vertices[1]->serial + 1;
        u32 c = t.vertices[2]->serial + 1;
        const u32 corners[3] = {mirrored ? c : a, b, mirrored ? a : c};
        PutFaceLine(w, corners);
    }
}

bool WriteObj(FILE* file) {
    ObjWriter w = {file, (char*)malloc(WRITE_BUFFER_BYTES), 0, false};
    if (!w.buffer) return false;
    u32 vertexCount = 0;
    for (i32 i = 0; i < vertexCapacity; i++) vertexCount += vertices[i].active;
    PutText(w, "# OBJ Exported from Orvandel's Tessaform\n");
    w.used +=
        (size_t)snprintf(w.buffer + w.used, LONGEST_LINE, "# symmetry %i\n", symmetry ? 1 : 0);
    PutText(w, "usemtl (null)\n");
    PutText(w, "s 0\n");
    WriteHalf(w, false, vertexCount);
    if (symmetry) WriteHalf(w, true, vertexCount);
    Flush(w);
    free(w.buffer);
    return !w.failed;
}

}  // namespace

bool ExportObj(const char* path) {
    LogPrint("export '%s'", path);
    if (!WriteFileSafely(path, WriteObj)) return false;
    LogPrint("success!");
    return true;
}

// ================================================================ [SECTION] parsing

namespace {

// Text files larger than this are not models anyone sculpts; the reader also
// keeps a copy of the whole file in memory while it parses. The counts bound
// what the parse holds before the mesh's own limits are checked: twice the
// 8 million the records allow, since a symmetric file repeats its vertices.
const u64 MAX_OBJ_BYTES = (u64)2 << 30;
const size_t MAX_OBJ_VERTICES = 16000000, MAX_OBJ_TRIANGLES = 16000000;

// What the file holds, before anything of the sculpture is touched.
struct ObjModel {
    std::vector<Vec3> positions;  // every "v" line, the half-turn undone
    std::vector<u8> finite;       // per "v" line: three finite coordinates were read
    std::vector<i32> corners;     // three 0-based vertex numbers per triangle
    i32 vertexLines, faceLines;
    u8 symmetric;
    u8 tooLarge;  // more than MAX_OBJ_VERTICES or MAX_OBJ_TRIANGLES: the parse stopped
};

// What was skipped, each kind logged once with its count.
struct ObjFaults {
    i32 badIndex;    // faces: a number zero, missing, not a number or beyond the vertices read
    i32 badVertex;   // faces: a corner's "v" line had no three finite coordinates
    i32 short_;      // faces: fewer than three corners
    i32 repeated;    // triangles: one vertex at two corners
    i32 coincident;  // triangles: two corners at one position
    i32 noRoom;      // triangles: a corner or side of the mesh had no room for them
};

struct Line {
    const char* begin;
    const char* end;
};

// The next line without its line end ("\n" or "\r\n"); the last line needs none.
bool NextLine(const char*& p, const char* end, Line& line) {
    if (p >= end) return false;
    const char* eol = (const char*)memchr(p, '\n', (size_t)(end - p));
    line.begin = p;
    line.end = eol ? eol : end;
    if (line.end > line.begin && line.end[-1] == '\r') line.end--;
    p = eol ? eol + 1 : end;
    return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

void SkipBlanks(const char*& p, const char* end) {
    while (p < end && IsBlank(*p)) p++;
}

// The line's first word, which p is left just after.
bool FirstWordIs(const char*& p, const char* end, const char* word) {
    SkipBlanks(p, end);
    size_t n = strlen(word);
    if ((size_t)(end - p) < n || memcmp(p, word, n) != 0) return false;
    if (p + n < end && !IsBlank(p[n])) return false;
    p += n;
    return true;
}

// One number as strtod reads it (a sign, decimals, an exponent), ending at
// a blank or the line's end. Read as a double and then rounded, as most
// readers do: a magnitude beyond a float becomes infinite and is refused,
// one below the smallest float becomes 0 instead of an error.
bool ParseFloat(const char*& p, const char* end, f32& value) {
    SkipBlanks(p, end);
    if (p < end && *p == '+' && end - p > 1 && p[1] != '-') p++;  // from_chars takes no '+'
    double d = 0;
    std::from_chars_result r = std::from_chars(p, end, d);
    if (r.ec != std::errc() || (r.ptr < end && !IsBlank(*r.ptr))) return false;
    p = r.ptr;
    value = (f32)d;
    return true;
}

// "v x y z": extra values (w, colours) are ignored.
void ParseVertex(const char* p, const char* end, ObjModel& m) {
    f32 x = 0, y = 0, z = 0;
    bool ok = ParseFloat(p, end, x) && ParseFloat(p, end, y) && ParseFloat(p, end, z) &&
              std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
    m.positions.push_back(ok ? Vec3{-x, y, -z} : Vec3{0, 0, 0});
    m.finite.push_back(ok);
    m.vertexLines++;
}

// One corner token ("7", "7/2", "7//3", "-1/5/5"): the vertex number before
// its first slash, as a 0-based index into the vertices read so far.
// Negative numbers count back from the last of them. -1 when unusable.
i32 ParseCorner(const char*& p, const char* end, i32 verticesSoFar) {
    bool negative = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+')) p++;
    int64_t n = 0;
    const char* digits = p;
    while (p < end && *p >= '0' && *p <= '9' && n <= verticesSoFar) n = n * 10 + (*p++ - '0');
    bool whole = p > digits && (p == end || IsBlank(*p) || *p == '/');
    while (p < end && !IsBlank(*p)) p++;  // the rest of the token
    if (!whole || n == 0 || n > verticesSoFar) return -1;
    return negative ? (i32)(verticesSoFar - n) : (i32)(n - 1);
}

// "f" with three or more corners, triangulated as a fan from the first.
void ParseFace(const char* p, const char* end, ObjModel& m, ObjFaults& faults,
               std::vector<i32>& polygon) {
    polygon.clear();
    bool usable = true, finite = true;
    for (SkipBlanks(p, end); p < end; SkipBlanks(p, end)) {
        if (polygon.size() > MAX_OBJ_TRIANGLES) {
            m.tooLarge = 1;
            return;
        }
        i32 c = ParseCorner(p, end, m.vertexLines);
        if (c < 0) usable = false;
        if (c >= 0 && !m.finite[(size_t)c]) finite = false;
        polygon.push_back(c);
    }
    if (!usable) {
        faults.badIndex++;
        return;
    }
    if (!finite) {
        faults.badVertex++;
        return;
    }
    if (polygon.size() < 3) {
        faults.short_++;
        return;
    }
    for (size_t k = 1; k + 1 < polygon.size(); k++) {
        i32 a = polygon[0], b = polygon[k], c = polygon[k + 1];
        if (a == b || b == c || a == c) {
            faults.repeated++;
            continue;
        }
        m.corners.insert(m.corners.end(), {a, b, c});
    }
}

// "# symmetry 1" among the first lines: the file holds a symmetric model
// whose second half of faces is the mirror image of the first. Read as
// sscanf reads "# %s %i", the format of the writer's comment line.
bool FindSymmetryComment(const char* text, const char* end) {
    Line line;
    const char* p = text;
    for (i32 i = 0; i < IMPORT_SYMMETRY_LINES && NextLine(p, end, line); i++) {
        const char* q = line.begin;
        if (q == line.end || *q++ != '#') continue;
        SkipBlanks(q, line.end);
        const char* word = q;
        while (q < line.end && !IsBlank(*q)) q++;
        if (q - word != 8 || memcmp(word, "symmetry", 8) != 0) continue;
        char number[32] = "";
        SkipBlanks(q, line.end);
        size_t n = std::min((size_t)(line.end - q), sizeof number - 1);
        memcpy(number, q, n);
        number[n] = 0;
        long value = strtol(number, nullptr, 0);
        LogPrint("found symmetry command, value=%li", value);
        return value == 1;
    }
    return false;
}

i32 CountFaceLines(const char* p, const char* end) {
    i32 count = 0;
    Line line;
    while (NextLine(p, end, line)) count += FirstWordIs(line.begin, line.end, "f");
    return count;
}

// Every line of the file. A symmetric file's second half of faces is the
// mirror image of the first and is not read.
void ParseObj(const char* text, const char* end, ObjModel& m, ObjFaults& faults) {
    m.symmetric = FindSymmetryComment(text, end);
    i32 faceLimit = m.symmetric ? CountFaceLines(text, end) / 2 : INT32_MAX;
    std::vector<i32> polygon;  // reused by every face line
    Line line;
    for (const char* p = text; !m.tooLarge && NextLine(p, end, line);) {
        const char* q = line.begin;
        if (FirstWordIs(q, line.end, "v")) {
            ParseVertex(q, line.end, m);
        } else if (FirstWordIs(q, line.end, "f") && m.faceLines < faceLimit) {
            m.faceLines++;
            ParseFace(q, line.end, m, faults, polygon);
        }
        if (m.positions.size() > MAX_OBJ_VERTICES || m.corners.size() / 3 > MAX_OBJ_TRIANGLES)
            m.tooLarge = 1;
    }
}

// ================================================================ [SECTION] shaping

// Centres the model on its bounding box and scales it to a half diagonal of
// 150. The box is taken in doubles over every vertex read, so coordinates of
// any size enter it, and a symmetric file's mirror half keeps its centre on
// the plane.
void CentreAndScale(ObjModel& m) {
    double lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (size_t i = 0; i < m.positions.size(); i++) {
        if (!m.finite[i]) continue;
        const f32 p[3] = {m.positions[i].x, m.positions[i].y, m.positions[i].z};
        for (i32 k = 0; k < 3; k++) {
            lo[k] = std::min(lo[k], (double)p[k]);
            hi[k] = std::max(hi[k], (double)p[k]);
        }
    }
    double centre[3], diagonal = 0;
    for (i32 k = 0; k < 3; k++) {
        centre[k] = (lo[k] + hi[k]) * 0.5;
        diagonal += (hi[k] - lo[k]) * (hi[k] - lo[k]);
    }
    double half = std::sqrt(diagonal) * 0.5;
    double scale = half > 0 && std::isfinite(half) ? IMPORT_HALF_DIAGONAL / half : 1;
    for (Vec3& p : m.positions)
        p = {(f32)((p.x - centre[0]) * scale), (f32)((p.y - centre[1]) * scale),
             (f32)((p.z - centre[2]) * scale)};
}

bool SamePosition(Vec3 a, Vec3 b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

// Drops triangles with two corners on one spot: they have no normal, and a
// split or collapse next to them would divide by their zero edge. (The
// midpoints of a triangle whose corners lie on one line can land on a
// corner, so the subdivision passes run this again.)
void DropCoincident(ObjModel& m, ObjFaults& faults) {
    size_t kept = 0;
    for (size_t t = 0; t < m.corners.size(); t += 3) {
        Vec3 a = m.positions[(size_t)m.corners[t]], b = m.positions[(size_t)m.corners[t + 1]];
        Vec3 c = m.positions[(size_t)m.corners[t + 2]];
        if (SamePosition(a, b) || SamePosition(b, c) || SamePosition(a, c)) {
            faults.coincident++;
            continue;
        }
        for (i32 k = 0; k < 3; k++) m.corners[kept++] = m.corners[t + (size_t)k];
    }
    m.corners.resize(kept);
}

// Drops the vertices no triangle uses (a symmetric file's mirror half, stray
// points), keeping the file order of the rest.
void DropUnused(ObjModel& m) {
    std::vector<i32> renumber(m.positions.size(), -1);
    for (i32 c : m.corners) renumber[(size_t)c] = 0;
    i32 next = 0;
    for (size_t i = 0; i < m.positions.size(); i++) {
        if (renumber[i] < 0) continue;
        renumber[i] = next;
        m.positions[(size_t)next++] = m.positions[i];
    }
    m.positions.resize((size_t)next);
    for (i32& c : m.corners) c = renumber[(size_t)c];
}

u64 SideKey(i32 a, i32 b) { return (u64)std::min(a, b) << 32 | (u64)std::max(a, b); }

// One 1-to-4 midpoint pass over the lists, in the pattern SubdivideAll uses.
// Done on the lists before any record exists: the in-place pass holds a
// corner's old and new edges at once, more than a busy vertex has room for.
void SubdivideOnce(ObjModel& m) {
    std::vector<u64> sides;
    sides.reserve(m.corners.size());
    for (size_t t = 0; t < m.corners.size(); t += 3)
        for (size_t k = 0; k < 3; k++)
            sides.push_back(SideKey(m.corners[t + k], m.corners[t + (k + 1) % 3]));
    std::sort(sides.begin(), sides.end());
    sides.erase(std::unique(sides.begin(), sides.end()), sides.end());
    size_t first = m.positions.size();
    for (u64 s : sides) m.positions.push_back((m.positions[s >> 32] + m.positions[(u32)s]) * 0.5f);
    auto mid = [&](i32 a, i32 b) {
        size_t at =
            (size_t)(std::lower_bound(sides.begin(), sides.end(), SideKey(a, b)) - sides.begin());
        return (i32)(first + at);
    };
    std::vector<i32> finer;
    finer.reserve(m.corners.size() * 4);
    for (size_t t = 0; t < m.corners.size(); t += 3) {
        i32 c0 = m.corners[t], c1 = m.corners[t + 1], c2 = m.corners[t + 2];
        i32 m0 = mid(c0, c1), m1 = mid(c1, c2), m2 = mid(c2, c0);
        finer.insert(finer.end(), {c0, m0, m2, c1, m1, m0, c2, m2, m1, m0, m1, m2});
    }
    m.corners.swap(finer);
}

void LogFaults(const ObjFaults& f) {
    if (f.badIndex)
        LogPrint(
            "*** %i faces skipped: a vertex number zero, missing, not a number or beyond "
            "the vertices read so far",
            f.badIndex);
    if (f.badVertex)
        LogPrint("*** %i faces skipped: a corner's vertex has no three finite coordinates",
                 f.badVertex);
    if (f.short_) LogPrint("*** %i faces skipped: fewer than three corners", f.short_);
    if (f.repeated) LogPrint("*** %i triangles skipped: one vertex at two corners", f.repeated);
    if (f.coincident)
        LogPrint("*** %i triangles skipped: two corners at the same position", f.coincident);
    if (f.noRoom)
        LogPrint("*** %i triangles refused: a vertex or edge had no room for them", f.noRoom);
}

// ================================================================ [SECTION] building

// Replaces the sculpture with the checked model: vertex i in slot i, the
// triangles in file order as far as the records have room for them.
void BuildModel(const ObjModel& m, ObjFaults& faults) {
    ResetAllocation();
    i32 v = (i32)m.positions.size(), t = (i32)(m.corners.size() / 3);
    ReserveRecords(v, t);
    for (const Vec3& p : m.positions) AddVertex(p.x, p.y, p.z);
    for (size_t i = 0; i < m.corners.size(); i += 3) {
        Vertex* a = &vertices[m.corners[i]];
        Vertex* b = &vertices[m.corners[i + 1]];
        Vertex* c = &vertices[m.corners[i + 2]];
        if (TriangleFits(a, b, c))
            AddTriangle(a, b, c);
        else
            faults.noRoom++;
    }
    // A corner whose every triangle was refused would be left without any.
    for (i32 i = 0; i < v; i++) {
        if (vertices[i].active && vertices[i].triangleCount == 0) {
            vertices[i].active = 0;
            liveVertexCount--;
        }
    }
    symmetry = m.symmetric;
    if (symmetry)
        for (i32 i = 0; i < vertexCapacity; i++)
            if (vertices[i].active && vertices[i].position.x == 0) vertices[i].onMirrorLine = 1;
    CollectAll(workset);
    if (symmetry) EnforceSymmetryLine();
    // AddTriangle has set every triangle's normal from the final positions:
    // the pass need only sum them into the vertex normals.
    for (i32 i = 0; i < triangleCapacity; i++) triangles[i].changed = 0;
    UpdateNormals();
    StoreRestState();
    meshChanged = fullRebuild = arraysDirty = colorsDirty = 1;
}

bool Refuse(const char* reason) {
    LogPrint("file error: %s", reason);
    return false;
}

}  // namespace

bool ImportObj(const char* path) {
    LogBeginVerbose(0);
    LogPrint("importing OBJ");
    size_t size = 0;
    char* text = (char*)ReadFileWhole(path, MAX_OBJ_BYTES, size);
    if (!text) return false;
    ObjModel m = {};
    ObjFaults faults = {};
    ParseObj(text, text + size, m, faults);
    free(text);
    LogPrint("found %i verts and %i tris", m.vertexLines, m.faceLines);
    if (m.tooLarge) return Refuse("more vertices or triangles than memory allows");
    CentreAndScale(m);
    DropCoincident(m, faults);
    // Each pass gives four triangles for one; 8 passes take one to 65536.
    for (i32 pass = 0; pass < 8 && !m.corners.empty(); pass++) {
        if (m.corners.size() / 3 >= IMPORT_MIN_TRIANGLES) break;
        SubdivideOnce(m);
        DropCoincident(m, faults);
    }
    if (m.corners.empty()) {
        LogFaults(faults);
        return Refuse("no usable triangle in the file");
    }
    DropUnused(m);
    if (!MeshFitsInMemory(m.positions.size(), m.corners.size() / 3)) {
        LogFaults(faults);
        return Refuse("more vertices or triangles than memory allows");
    }
    BuildModel(m, faults);
    LogFaults(faults);
    return true;
}
