// Helpers for the sculpture-file and undo tests: a private temp directory,
// whole-file byte access, the current mesh's image in memory, and a snapshot
// of the mesh records that proves a refused load changed nothing.
#pragma once
#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "mesh/meshfile.h"
#include "mesh_fixture.h"

class TempDir {
public:
    TempDir() {
        char dirTemplate[] = "/tmp/tessa-files-XXXXXX";
        const char* dir = mkdtemp(dirTemplate);
        path = dir ? dir : "/tmp";
    }
    ~TempDir() {
        std::string command = "rm -rf '" + path + "'";
        if (path.rfind("/tmp/tessa-files-", 0) == 0) (void)!system(command.c_str());
    }
    std::string File(const char* name) const { return path + "/" + name; }
    std::string path;
};

inline std::vector<u8> ReadBytes(const std::string& path) {
    std::vector<u8> bytes;
    if (FILE* f = fopen(path.c_str(), "rb")) {
        u8 buffer[65536];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
        fclose(f);
    }
    return bytes;
}

inline void WriteBytes(const std::string& path, const std::vector<u8>& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

// The image WriteMesh produces for the current mesh.
inline std::vector<u8> ImageOfMesh() {
    std::vector<u8> bytes;
    FILE* f = tmpfile();
    if (!f) return bytes;
    WriteMesh(f);
    fflush(f);
    long size = ftell(f);
    rewind(f);
    bytes.resize((size_t)size);
    if (size > 0 && fread(bytes.data(), 1, (size_t)size, f) != (size_t)size) bytes.clear();
    fclose(f);
    return bytes;
}

// Everything a load or undo may replace, slot by slot.
struct MeshRecordSnapshot {
    i32 vertexCount, edgeCount, triangleCount, vertexCapacity;
    std::vector<f32> vertexData;  // slot, x, y, z, mask, flag per active vertex
    std::vector<i32> triangleData;  // slot, corner slots per active triangle
    u8 symmetryFlag;
    bool operator==(const MeshRecordSnapshot&) const = default;
};

inline MeshRecordSnapshot SnapshotRecords() {
    MeshRecordSnapshot s{liveVertexCount, liveEdgeCount, liveTriangleCount, vertexCapacity, {}, {}, symmetry};
    for (i32 i = 0; i < vertexCapacity; i++) {
        const Vertex& v = vertices[i];
        if (!v.active) continue;
        s.vertexData.insert(s.vertexData.end(),
                            {(f32)i, v.position.x, v.position.y, v.position.z, v.mask, (f32)v.onMirrorLine});
    }
    for (i32 i = 0; i < triangleCapacity; i++) {
        const Triangle& t = triangles[i];
        if (!t.active) continue;
        s.triangleData.insert(s.triangleData.end(),
                              {i, SlotOf(t.vertices[0]), SlotOf(t.vertices[1]), SlotOf(t.vertices[2])});
    }
    return s;
}

// Little-endian field access in an image.
inline void PutU32At(std::vector<u8>& b, size_t at, u32 v) {
    for (i32 k = 0; k < 4; k++) b[at + (size_t)k] = (u8)(v >> (8 * k));
}
inline void PutF32At(std::vector<u8>& b, size_t at, f32 f) {
    u32 u;
    memcpy(&u, &f, 4);
    PutU32At(b, at, u);
}
inline u32 U32At(const std::vector<u8>& b, size_t at) {
    return (u32)b[at] | (u32)b[at + 1] << 8 | (u32)b[at + 2] << 16 | (u32)b[at + 3] << 24;
}
inline f32 F32At(const std::vector<u8>& b, size_t at) {
    u32 u = U32At(b, at);
    f32 f;
    memcpy(&f, &u, 4);
    return f;
}
inline size_t VertexEntry(i32 i) { return 9 + 17 * (size_t)i; }
inline size_t TriangleEntry(const std::vector<u8>& b, i32 j) { return 9 + 17 * (size_t)U32At(b, 0) + 12 * (size_t)j; }

// A sphere with varied masks and mirror flags and a hole where vertex slot
// 500 was, so that written numbers differ from slot numbers after it.
inline void MakeMarkedSphere() {
    BuildSphere();
    Vertex& gone = vertices[500];
    while (gone.triangleCount > 0) RemoveTriangle(gone.triangles[0], true);
    for (i32 i = 0; i < vertexCapacity; i++) {
        Vertex& v = vertices[i];
        if (!v.active) continue;
        v.mask = (f32)(i % 7) / 6.0f;
        v.onMirrorLine = v.position.x == 0;
    }
}
