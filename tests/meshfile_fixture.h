// Sculpture-file helpers: a private temp directory, byte access, the mesh's
// image, and a record snapshot that proves a refusal changed nothing.
#pragma once
#include <bit>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include "mesh/history.h"
#include "mesh/meshfile.h"
#include "mesh_fixture.h"

struct TempDir {
    std::string path = std::filesystem::temp_directory_path() / "tessa-files-XXXXXX";
    TempDir() { EXPECT_TRUE(mkdtemp(path.data())) << path; }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string File(const std::string& name) const { return path + "/" + name; }
};

inline std::vector<u8> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline void WriteBytes(const std::string& path, const std::vector<u8>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write((const char*)bytes.data(), (std::streamsize)bytes.size());
}

// The image WriteMesh produces for the current mesh.
inline std::vector<u8> ImageOfMesh() {
    char* data = nullptr;
    size_t size = 0;
    FILE* f = open_memstream(&data, &size);
    WriteMesh(f);
    fclose(f);
    std::vector<u8> bytes(data, data + size);
    free(data);
    return bytes;
}

// Everything a load or undo may replace: the image (positions, masks, flags,
// symmetry, windings) and which slots hold the vertices and triangles.
struct MeshRecordSnapshot {
    std::vector<u8> image;
    std::vector<i32> slots;  // capacity and edge count, active vertex slots, -1 - triangle slot
    bool operator==(const MeshRecordSnapshot&) const = default;
};
inline MeshRecordSnapshot SnapshotRecords() {
    MeshRecordSnapshot s{ImageOfMesh(), {vertexCapacity, liveEdgeCount}};
    for (i32 i = 0; i < vertexCapacity; i++)
        if (vertices[i].active) s.slots.push_back(i);
    for (i32 i = 0; i < triangleCapacity; i++)
        if (triangles[i].active) s.slots.push_back(-1 - i);
    return s;
}

// Field access in an image, which is little-endian like the test machines.
static_assert(std::endian::native == std::endian::little);
inline void PutU32At(std::vector<u8>& b, size_t at, u32 v) { memcpy(&b[at], &v, 4); }
inline void PutF32At(std::vector<u8>& b, size_t at, f32 v) { memcpy(&b[at], &v, 4); }
inline u32 U32At(const std::vector<u8>& b, size_t at) {
    u32 v;
    memcpy(&v, &b[at], 4);
    return v;
}
inline size_t VertexEntry(i32 i) { return 9 + 17 * (size_t)i; }
inline size_t TriangleEntry(const std::vector<u8>& b, i32 j) {
    return VertexEntry((i32)U32At(b, 0)) + 12 * (size_t)j;
}

// A sphere with varied masks and mirror flags and a hole where vertex slot
// 500 was, so that written numbers differ from slot numbers after it.
inline void MakeMarkedSphere() {
    BuildSphere();
    while (vertices[500].triangleCount > 0) RemoveTriangle(vertices[500].triangles[0], true);
    for (i32 i = 0; i < vertexCapacity; i++) {
        if (!vertices[i].active) continue;
        vertices[i].mask = (f32)(i % 7) / 6.0f;
        vertices[i].onMirrorLine = vertices[i].position.x == 0;
    }
}
