// config.txt reader and writer. One table lists the lines in file order with
// the setting each one carries; the reader and the writer both walk it, so
// the two can never disagree about the order. Writes the settings of
// base/settings.h (reader) and config.txt (writer).
// The reader keeps the old scanf behaviour the file format grew up with (a
// blank matches any run of white space, a key must match literally, a failed
// match leaves its unmatched text for the next line) but scans a bounded copy
// of the file itself, so that no line length or number size can overrun or
// overflow anything.
#include "app/config.h"
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include "base/log.h"
#include "base/settings.h"
#include "mesh/meshfile.h"

// How a line's number reaches its setting.
enum ConfigKind : u8 {
    CONFIG_INT,         // i32 setting, read straight in: a failed read leaves it as it was
    CONFIG_FLAG,        // u8 setting = shared number != 0: a failed read repeats the last flag
    CONFIG_HUNDREDTHS,  // f32 setting = number x 0.01: a failed read gives 0
    CONFIG_TOOLS,       // the 20 tparam lines: slot, size and strength in hundredths
};

struct ConfigLine {
    const char* format;  // the whole line, for scanning and for printing
    ConfigKind kind;
    void* setting;  // null for CONFIG_TOOLS (toolSize and toolStrength)
    i32 low, high;  // the stored numbers the program can use; others are clamped
};

enum { TOOL_SLOTS = 20, MAX_CONFIG_BYTES = 65536 };

// Window sizes and places beyond any screen are clamped where a window system
// would misread them (SDL takes some large positions as "undefined").
static const ConfigLine configLines[] = {
    {"window_width %i\n", CONFIG_INT, &windowWidth, 32, 16384},
    {"window_height %i\n", CONFIG_INT, &windowHeight, 32, 16384},
    {"window_x %i\n", CONFIG_INT, &windowX, -16384, 16384},
    {"window_y %i\n", CONFIG_INT, &windowY, -16384, 16384},
    {"window_maximized %i\n", CONFIG_INT, &windowMaximized, INT_MIN, INT_MAX},
    {"symmetry %i\n", CONFIG_FLAG, &symmetry, INT_MIN, INT_MAX},
    {"enable_shaders %i\n", CONFIG_FLAG, &enableShaders, INT_MIN, INT_MAX},
    {"corner_tesselate %i\n", CONFIG_FLAG, &cornerTesselate, INT_MIN, INT_MAX},
    {"menu_zoom %i\n", CONFIG_FLAG, &menuZoom, INT_MIN, INT_MAX},
    {"start_mesh_type %i\n", CONFIG_INT, &startMeshType, INT_MIN, INT_MAX},
    // Above 2 (the detail slider's end) refinement would split without bound.
    {"detail_bias %i\n", CONFIG_HUNDREDTHS, &detailBias, 0, 200},
    // The frame logic clamps the material to the images there are.
    {"material %i\n", CONFIG_INT, &materialIndex, INT_MIN, INT_MAX},
    {"wireframe %i\n", CONFIG_FLAG, &wireframe, INT_MIN, INT_MAX},
    {"tparam %i %i %i\n", CONFIG_TOOLS, nullptr, 0, 100},
    {"mt_maxthreads %i\n", CONFIG_INT, &mtMaxThreads, INT_MIN, INT_MAX},
    {"mt_profiler   %i\n", CONFIG_INT, &mtProfiler, INT_MIN, INT_MAX},
    {"mt_varrays    %i\n", CONFIG_INT, &mtVarrays, INT_MIN, INT_MAX},
    {"mt_tesselate  %i\n", CONFIG_INT, &mtTesselate, INT_MIN, INT_MAX},
    {"mt_beautify   %i\n", CONFIG_INT, &mtBeautify, INT_MIN, INT_MAX},
    {"mt_draw       %i\n", CONFIG_INT, &mtDraw, INT_MIN, INT_MAX},
    {"mt_culling    %i\n", CONFIG_INT, &mtCulling, INT_MIN, INT_MAX},
    {"mt_normals    %i\n", CONFIG_INT, &mtNormals, INT_MIN, INT_MAX},
    {"mt_edges      %i\n", CONFIG_INT, &mtEdges, INT_MIN, INT_MAX},
    // Newer lines go last: a file without them keeps the defaults.
    {"undo_budget_mb %i\n", CONFIG_INT, &undoBudgetMB, 0, 1 << 20},
    {"autosave_seconds %i\n", CONFIG_INT, &autosaveSeconds, 1, 86400},
};

// ================================================================ [SECTION] scanning

struct ConfigText {
    const char* text;
    size_t size, pos;
};

static bool AtSpace(const ConfigText& t) { return t.pos < t.size && isspace((u8)t.text[t.pos]); }
static void SkipSpace(ConfigText& t) {
    while (AtSpace(t)) t.pos++;
}

// A signed decimal number; a longer one saturates. False when no digit
// follows (the sign stays consumed, as with scanf). Decimal only: a
// hand-typed "08" must not read as octal 0 and wreck every later line.
static bool ScanNumber(ConfigText& t, i32& out) {
    SkipSpace(t);
    bool negative = false;
    if (t.pos < t.size && (t.text[t.pos] == '-' || t.text[t.pos] == '+'))
        negative = t.text[t.pos++] == '-';
    if (t.pos >= t.size || !isdigit((u8)t.text[t.pos])) return false;
    int64_t value = 0;
    while (t.pos < t.size && isdigit((u8)t.text[t.pos])) {
        value = value * 10 + (t.text[t.pos++] - '0');
        if (value > (int64_t)INT_MAX + 1) value = (int64_t)INT_MAX + 1;
    }
    if (negative) value = -value;
    out = (i32)(value > INT_MAX ? INT_MAX : value);
    return true;
}

// Matches one format (blanks, literal text, %i) at the current position and
// returns the numbers stored, each into values in turn. Stops at the first
// character that differs, leaving it for the next line.
static i32 ScanLine(ConfigText& t, const char* format, i32* values) {
    i32 stored = 0;
    for (const char* f = format; *f; f++) {
        if (isspace((u8)*f)) {
            SkipSpace(t);
        } else if (f[0] == '%' && f[1] == 'i') {
            if (!ScanNumber(t, values[stored])) return stored;
            stored++;
            f++;
        } else {
            if (t.pos >= t.size || t.text[t.pos] != *f) return stored;
            t.pos++;
        }
    }
    return stored;
}

// ================================================================ [SECTION] reading

// What went wrong in one read, for its log lines.
struct ConfigRead {
    i32 flag;                 // the number all flags are read through
    i32 failed;               // lines that did not match
    const char* firstFailed;  // format of the first of them
};

static i32 KeyLength(const char* format) {
    i32 n = 0;
    while (format[n] && format[n] != ' ') n++;
    return n;
}

static i32 Clamped(const ConfigLine& line, i32 value) {
    i32 kept = value < line.low ? line.low : value > line.high ? line.high : value;
    if (kept != value)
        LogPrint("*** config.txt: %.*s %i out of range, using %i", KeyLength(line.format),
                 line.format, value, kept);
    return kept;
}

static void NoteFailure(ConfigRead& r, const ConfigLine& line) {
    if (r.failed++ == 0) r.firstFailed = line.format;
}

static void ReadTools(ConfigText& t, const ConfigLine& line, ConfigRead& r) {
    for (i32 i = 0; i < TOOL_SLOTS; i++) {
        // The slot number in the file is ignored: lines apply in file order.
        i32 n[3] = {0, 50, 50};
        if (ScanLine(t, line.format, n) < 3) NoteFailure(r, line);
        toolSize[i] = Clamped(line, n[1]) * 0.01f;
        toolStrength[i] = Clamped(line, n[2]) * 0.01f;
    }
}

static void ReadLine(ConfigText& t, const ConfigLine& line, ConfigRead& r) {
    i32 value = 0;
    switch (line.kind) {
    case CONFIG_INT:
        if (ScanLine(t, line.format, &value) == 1)
            *(i32*)line.setting = Clamped(line, value);
        else
            NoteFailure(r, line);
        break;
    case CONFIG_FLAG:
        if (ScanLine(t, line.format, &r.flag) != 1) NoteFailure(r, line);
        *(u8*)line.setting = r.flag != 0;
        break;
    case CONFIG_HUNDREDTHS:
        if (ScanLine(t, line.format, &value) != 1) NoteFailure(r, line);
        *(f32*)line.setting = Clamped(line, value) * 0.01f;
        break;
    case CONFIG_TOOLS: ReadTools(t, line, r); break;
    }
}

// The file in one malloc'd buffer; null when it cannot be opened (a first
// start has none) or is too large to be one of ours.
static char* LoadConfigText(const char* path, size_t& size) {
    FILE* f = fopen(path, "rb");
    if (!f) return nullptr;
    char* text = (char*)malloc(MAX_CONFIG_BYTES + 1);
    size = text ? fread(text, 1, MAX_CONFIG_BYTES + 1, f) : 0;
    fclose(f);
    if (text && size > MAX_CONFIG_BYTES) {
        LogPrint("*** config.txt is larger than %i bytes: not read, settings unchanged",
                 (int)MAX_CONFIG_BYTES);
        free(text);
        return nullptr;
    }
    return text;
}

bool ReadConfig(const char* path) {
    LogPrint("reading config");
    size_t size = 0;
    char* text = LoadConfigText(path, size);
    if (!text) return false;
    ConfigText t = {text, size, 0};
    i32 version = 0;
    ScanLine(t, "version %i\n", &version);
    if (version != CONFIG_VERSION) {
        LogPrint("*** config.txt: version %i, not %i: settings unchanged", version,
                 (int)CONFIG_VERSION);
        free(text);
        return false;
    }
    ConfigRead r = {};
    for (const ConfigLine& line : configLines) ReadLine(t, line, r);
    free(text);
    if (r.failed)
        LogPrint("*** config.txt: %i line(s) unreadable, the first '%.*s'", r.failed,
                 KeyLength(r.firstFailed), r.firstFailed);
    return true;
}

// ================================================================ [SECTION] writing

// Rounded to the nearest hundredth; whatever a setting holds, the number
// printed is finite and fits the line.
static i32 Hundredths(f32 value) {
    f32 scaled = value * 100;
    if (!std::isfinite(scaled)) return 0;
    if (std::fabs(scaled) > 1e9f) scaled = scaled < 0 ? -1e9f : 1e9f;
    return (i32)std::lround(scaled);
}

static bool WriteLine(FILE* f, const ConfigLine& line) {
    bool ok = true;
    switch (line.kind) {
    case CONFIG_INT: ok = fprintf(f, line.format, *(i32*)line.setting) > 0; break;
    case CONFIG_FLAG: ok = fprintf(f, line.format, *(u8*)line.setting ? 1 : 0) > 0; break;
    case CONFIG_HUNDREDTHS:
        ok = fprintf(f, line.format, Hundredths(*(f32*)line.setting)) > 0;
        break;
    case CONFIG_TOOLS:
        for (i32 i = 0; i < TOOL_SLOTS; i++)
            ok = fprintf(f, line.format, i, Hundredths(toolSize[i]), Hundredths(toolStrength[i])) >
                     0 &&
                 ok;
        break;
    }
    return ok;
}

static bool WriteConfigLines(FILE* f) {
    bool ok = fprintf(f, "version %i\n", (int)CONFIG_VERSION) > 0;
    for (const ConfigLine& line : configLines) ok = WriteLine(f, line) && ok;
    return ok;
}

bool WriteConfig(const char* path) {
    LogPrint("writing config");
    return WriteFileSafely(path, WriteConfigLines);
}
