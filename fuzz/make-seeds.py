#!/usr/bin/env python3
"""Writes the fuzz seed corpus: for each reader a few small valid files and
damaged copies of them (cut short, a wrong count, a bad number), so that the
fuzzer starts from both sides of every check. Run from anywhere; the output
is committed, so this runs only when the seeds should change."""
import os, struct, zlib

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def put(kind, name, data):
    os.makedirs(os.path.join(root, kind), exist_ok=True)
    if isinstance(data, str):
        data = data.encode("latin-1")
    with open(os.path.join(root, kind, name), "wb") as f:
        f.write(data)


# ---- sculptures: V, T, symmetry, 17-byte vertices, 12-byte triangles
def tf1(verts, tris, sym=0):
    out = struct.pack("<iiB", len(verts), len(tris), sym)
    for x, y, z, m, line in verts:
        out += struct.pack("<ffffB", x, y, z, m, line)
    for t in tris:
        out += struct.pack("<iii", *t)
    return out


tetra_v = [(0, 0, 0, 0, 1), (10, 0, 0, 0.5, 0), (0, 10, 0, 1, 0), (0, 0, 10, 0, 1)]
tetra_t = [(0, 2, 1), (0, 1, 3), (0, 3, 2), (1, 2, 3)]
tetra = tf1(tetra_v, tetra_t, 1)
put("tf1", "triangle", tf1(tetra_v[:3], [(0, 1, 2)]))
put("tf1", "tetrahedron", tetra)
put("tf1", "empty", tf1([], []))
put("tf1", "cut-short", tetra[:-5])
put("tf1", "corner-out-of-range", tf1(tetra_v, tetra_t[:3] + [(1, 2, 9)]))
put("tf1", "repeated-corner", tf1(tetra_v, [(0, 0, 1)]))
put("tf1", "nan-coordinate", tf1([(float("nan"), 0, 0, 0, 0)] + tetra_v[1:], tetra_t))
put("tf1", "edge-of-three", tf1(tetra_v, [(0, 1, 2), (1, 0, 3), (0, 1, 3)]))
put("tf1", "negative-count", struct.pack("<iiB", -1, 0, 0))

# ---- OBJ text
cube = "# symmetry 0\n" + "".join(
    "v %d %d %d\n" % (x, y, z) for x in (-1, 1) for y in (-1, 1) for z in (-1, 1))
cube += "vn 0 1 0\nf 1 2 4 3\nf 5/1/1 7/1/1 8/1/1 6/1/1\nf 1//1 5//1 6//1 2//1\n"
cube += "f 3 4 8 7\nf 1 3 7 5\nf 2 6 8 4\n"
put("obj", "cube", cube)
put("obj", "symmetric-half", "# symmetry 1\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 0\nv -1 0 0\n"
    "v 0 1 0\nf 1 2 3\nf 4 6 5\n")
put("obj", "relative-indices", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf -3 -2 -1\n")
put("obj", "bad-faces", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 0 1 2\nf 1 2\nf 1 1 2\nf 1 2 99\n"
    "f a b c\nv 1e30 nan 0\nf 1 2 4\n")
put("obj", "long-line", "# " + "x" * 300 + "\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3")
put("obj", "crlf", "v 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\nf 1 2 3\r\n")

# ---- config.txt, version 3, in its fixed line order
lines = ["version 3", "window_width 950", "window_height 650", "window_x 0", "window_y 0",
         "window_maximized 1", "symmetry 1", "enable_shaders 1", "corner_tesselate 1",
         "menu_zoom 1", "start_mesh_type 0", "detail_bias 130", "material 0", "wireframe 0"]
lines += ["tparam %d 50 50" % i for i in range(20)]
lines += ["mt_maxthreads 0", "mt_profiler   1", "mt_varrays    0", "mt_tesselate  1",
          "mt_beautify   1", "mt_draw       1", "mt_culling    1", "mt_normals    1",
          "mt_edges      1"]
config = "\n".join(lines) + "\n"
put("config", "defaults", config)
put("config", "cut-short", config[:200])
put("config", "huge-numbers", config.replace("950", "99999999999999999999")
    .replace("tparam 3 50 50", "tparam -7 -100 300"))
put("config", "wrong-line", config.replace("menu_zoom", "menu_zoon"))
put("config", "other-version", config.replace("version 3", "version 2"))


# ---- PNG: 2 x 2 in several colour types, and damaged copies
def png(width, height, colour, depth, raw, palette=None):
    def chunk(tag, body):
        return struct.pack(">I", len(body)) + tag + body + struct.pack(
            ">I", zlib.crc32(tag + body) & 0xFFFFFFFF)
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth,
                                                            colour, 0, 0, 0))
    if palette:
        out += chunk(b"PLTE", palette)
    return out + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


rgba = png(2, 2, 6, 8, b"\0" + bytes(range(8)) + b"\0" + bytes(range(8, 16)))
put("png", "rgba", rgba)
put("png", "grey", png(2, 2, 0, 8, b"\0\x10\x20\0\x30\x40"))
put("png", "palette", png(2, 2, 3, 8, b"\0\0\1\0\1\0", palette=b"\xff\0\0\0\xff\0"))
put("png", "rgb16", png(1, 1, 2, 16, b"\0" + bytes(6)))
put("png", "cut-short", rgba[:40])
put("png", "bad-crc", rgba[:30] + b"\xff" + rgba[31:])
put("png", "huge-size", png(100000, 100000, 6, 8, b"\0" * 9))


# ---- TGA: uncompressed true colour, 24 and 32 bits, glyph runs in alpha
def tga(width, height, depth, pixels, kind=2):
    return struct.pack("<BBB5sHHHHBB", 0, 0, kind, b"\0" * 5, 0, 0, width, height, depth,
                       0) + pixels


columns = [0, 1, 1, 0, 1, 0, 0, 1, 1, 1, 0, 1]
row = b"".join(bytes([9, 9, 9, 255 * c]) for c in columns)
font = tga(len(columns), 3, 32, row * 3)
put("tga", "glyphs32", font)
put("tga", "key24", tga(2, 2, 24, b"\x80\0\x80" + b"\x10\x20\x30" * 3))
put("tga", "cut-short", font[:50])
put("tga", "compressed", tga(2, 2, 32, bytes(16), kind=10))
put("tga", "huge-size", tga(65535, 65535, 32, bytes(16)))
