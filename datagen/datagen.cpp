// Generator of the pictures the program ships in data/: the studio
// background, the matcap materials (a lit sphere per material, sampled by
// the surface normal), the tileable noise normal map and the window icon.
// Usage: tessaform-datagen DIR  (writes DIR/background.png, ...). Pure
// arithmetic, seeded hash noise: the same build writes the same files.
#include "picture.h"

// ================================================================ ICO writing

static void PutU16(std::vector<u8>& out, u32 v) {
    out.push_back(v & 0xFF);
    out.push_back(v >> 8 & 0xFF);
}
static void PutU32(std::vector<u8>& out, u32 v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

// One 32-bit image: BITMAPINFOHEADER (height doubled for the mask), BGRA
// rows bottom-up, then the 1-bit mask (set where fully transparent).
static bool WriteIco(const std::string& path, const Image& img) {
    const int w = img.width, h = img.height, maskStride = ((w + 31) / 32) * 4;
    std::vector<u8> bmp;
    PutU32(bmp, 40);
    PutU32(bmp, (u32)w);
    PutU32(bmp, (u32)h * 2);
    PutU16(bmp, 1);
    PutU16(bmp, 32);
    PutU32(bmp, 0);
    PutU32(bmp, (u32)(w * h * 4 + maskStride * h));
    for (int i = 0; i < 4; i++) PutU32(bmp, 0);
    for (int y = h - 1; y >= 0; y--)
        for (int x = 0; x < w; x++) {
            const u8* p = &img.rgba[((size_t)y * w + x) * 4];
            bmp.push_back(p[2]);
            bmp.push_back(p[1]);
            bmp.push_back(p[0]);
            bmp.push_back(p[3]);
        }
    for (int y = h - 1; y >= 0; y--) {
        std::vector<u8> row(maskStride, 0);
        for (int x = 0; x < w; x++)
            if (img.rgba[((size_t)y * w + x) * 4 + 3] == 0) row[x / 8] |= 0x80 >> (x % 8);
        bmp.insert(bmp.end(), row.begin(), row.end());
    }
    std::vector<u8> ico;
    PutU16(ico, 0);
    PutU16(ico, 1);
    PutU16(ico, 1);
    ico.push_back((u8)w);
    ico.push_back((u8)h);
    ico.push_back(0);
    ico.push_back(0);
    PutU16(ico, 1);
    PutU16(ico, 32);
    PutU32(ico, (u32)bmp.size());
    PutU32(ico, 6 + 16);
    ico.insert(ico.end(), bmp.begin(), bmp.end());
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(ico.data(), 1, ico.size(), f) == ico.size();
    return fclose(f) == 0 && ok;
}

// ================================================================ background

// A studio backdrop: dark cool top, a soft pool of light behind the model,
// a faint horizon, and a vignette towards the corners. Left-right symmetric.
static Col Backdrop(float u, float v) {
    Col top = {0.018f, 0.022f, 0.030f}, mid = {0.10f, 0.105f, 0.115f},
        floor = {0.05f, 0.048f, 0.046f};
    Col c = v < 0.62f ? Mix(top, mid, SmoothStep(0.0f, 0.62f, v))
                      : Mix(mid, floor, SmoothStep(0.62f, 1.0f, v));
    float dx = (u - 0.5f) * 1.3f, dy = (v - 0.45f);
    float glow = std::exp(-(dx * dx + dy * dy) / 0.09f);
    c = c + Col{0.13f, 0.125f, 0.12f} * glow;
    float horizon = std::exp(-std::pow((v - 0.64f) / 0.05f, 2)) * 0.025f;
    c = c + Col{1, 0.95f, 0.9f} * horizon;
    float r = std::sqrt((u - 0.5f) * (u - 0.5f) * 1.6f + (v - 0.5f) * (v - 0.5f));
    return c * (1 - 0.55f * SmoothStep(0.35f, 0.95f, r));
}

static Image MakeBackground() {
    Image img = MakeImage(1024, 1024);
    for (int y = 0; y < img.height; y++)
        for (int x = 0; x < img.width; x++)
            img.Set(x, y, Backdrop((x + 0.5f) / img.width, (y + 0.5f) / img.height), 1, 1);
    return img;
}

// ================================================================ matcap materials

struct Material {
    const char* name;
    Col albedo;       // diffuse colour (linear)
    float wrap;       // light wrapping past the terminator: soft, translucent look
    Col scatter;      // colour the wrapped light takes on (subsurface tint)
    Col specular;     // highlight colour and strength
    float shininess;  // Blinn-Phong exponent
    float reflect;    // share of the studio environment reflected (metals ~1)
    Col reflectTint;  // metal colour
    Col rim;          // rim light colour and strength
    float coat;       // clear coat: a sharp extra highlight with Fresnel
};

// The studio the spheres sit in, seen by reflections: a bright sky, two
// soft boxes, a warm dark floor.
static Col Environment(V3 d) {
    Col sky = {0.55f, 0.6f, 0.68f}, horizon = {0.85f, 0.82f, 0.78f}, ground = {0.07f, 0.06f, 0.05f};
    Col c = d.y > 0 ? Mix(horizon, sky, SmoothStep(0.0f, 0.7f, d.y))
                    : Mix(horizon, ground, SmoothStep(0.0f, 0.3f, -d.y));
    auto box = [&](V3 centre, float size, float power) {
        float a = Dot(d, Norm(centre));
        return SmoothStep(1 - size, 1 - size * 0.3f, a) * power;
    };
    c = c + Col{1.0f, 0.97f, 0.92f} * box({-0.6f, 0.7f, 0.5f}, 0.05f, 2.5f);
    c = c + Col{0.8f, 0.88f, 1.0f} * box({0.8f, 0.2f, 0.3f}, 0.03f, 1.0f);
    return c;
}

static Col ShadeSphere(const Material& m, V3 n) {
    const V3 view = {0, 0, 1};
    struct Light {
        V3 dir;
        Col colour;
    };
    const Light lights[3] = {{Norm({-0.55f, 0.65f, 0.6f}), {1.45f, 1.38f, 1.28f}},
                             {Norm({0.85f, -0.1f, 0.35f}), {0.16f, 0.19f, 0.26f}},
                             {Norm({0.1f, -0.9f, 0.3f}), {0.07f, 0.06f, 0.05f}}};
    Col diffuse = {0, 0, 0}, highlight = {0, 0, 0};
    for (const Light& l : lights) {
        float ndl = Dot(n, l.dir);
        float lambert = Clamp01(ndl);
        float wrapped = Clamp01((ndl + m.wrap) / (1 + m.wrap));
        // The wrapped part beyond plain Lambert is light that travelled
        // inside the material: it takes the scatter colour.
        diffuse = diffuse + l.colour * lambert + (m.scatter * l.colour) * (wrapped - lambert);
        V3 h = Norm({l.dir.x + view.x, l.dir.y + view.y, l.dir.z + view.z});
        float nh = Clamp01(Dot(n, h));
        float norm = (m.shininess + 8) / 25.0f;  // keeps the energy similar across exponents
        highlight =
            highlight + l.colour * (std::pow(nh, m.shininess) * norm * (ndl > 0 ? 1.0f : 0.0f));
        if (m.coat > 0) highlight = highlight + l.colour * (std::pow(nh, 900.0f) * m.coat * 6);
    }
    float nv = Clamp01(Dot(n, view));
    float fresnel = std::pow(1 - nv, 5.0f);
    Col c = m.albedo * diffuse * (1 - m.reflect) + m.albedo * Col{0.012f, 0.014f, 0.018f};
    c = c + m.specular * highlight;
    V3 r = {2 * nv * n.x, 2 * nv * n.y, 2 * nv * n.z - 1};
    Col env = Environment(Norm(r));
    if (m.reflect > 0) c = c + env * Mix(m.reflectTint, Col{1, 1, 1}, fresnel) * m.reflect;
    if (m.coat > 0) c = c + env * (0.04f + 0.5f * fresnel) * m.coat;
    // Rim light from behind and above: a thin bright edge that shapes the silhouette.
    float rim = std::pow(1 - nv, 4.0f) * SmoothStep(0.1f, 0.9f, n.y * 0.5f + 0.5f + n.x * 0.25f);
    return c + m.rim * rim;
}

// Normal seen at matcap coordinates (u right, v up, both -1..1); outside the
// disc the rim's normal continues, so filtering never pulls in a border.
static V3 MatcapNormal(float u, float v) {
    float r2 = u * u + v * v;
    if (r2 >= 0.9999f) {
        float r = std::sqrt(r2);
        return {u / r * 0.99995f, v / r * 0.99995f, 0.01f};
    }
    return {u, v, std::sqrt(1 - r2)};
}

static Image MakeMatcap(const Material& m) {
    const int size = 512, samples = 3;
    Image img = MakeImage(size, size);
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            Col sum = {0, 0, 0};
            for (int sy = 0; sy < samples; sy++)
                for (int sx = 0; sx < samples; sx++) {
                    float u = ((x + (sx + 0.5f) / samples) / size) * 2 - 1;
                    float v = 1 - ((y + (sy + 0.5f) / samples) / size) * 2;
                    sum = sum + ToneMap(ShadeSphere(m, Norm(MatcapNormal(u, v))));
                }
            img.Set(x, y, sum * (1.0f / (samples * samples)), 1, 7);
        }
    return img;
}

// One row per material, its columns in the order of Material's fields:
// name, albedo, wrap, scatter, specular, shininess, reflect, reflectTint, rim, coat.
// clang-format off
static const Material materials[] = {
    // clay: matte warm grey-brown, broad soft sheen, cool rim
    {"clay",  {0.50f, 0.35f, 0.28f}, 0.25f, {0.9f, 0.55f, 0.4f},  {0.07f, 0.07f, 0.07f}, 10,  0,     {0, 0, 0},             {0.10f, 0.11f, 0.13f},  0},
    // wax: creamy, strongly translucent with a warm glow in the shadows
    {"wax",   {0.80f, 0.66f, 0.42f}, 0.8f,  {1.0f, 0.55f, 0.25f}, {0.25f, 0.24f, 0.22f}, 45,  0,     {0, 0, 0},             {0.18f, 0.13f, 0.07f},  0},
    // jade: deep green stone, light scattered inside, glassy polish
    {"jade",  {0.14f, 0.42f, 0.24f}, 0.7f,  {0.3f, 0.9f, 0.45f},  {0.3f, 0.35f, 0.32f},  120, 0,     {0, 0, 0},             {0.05f, 0.16f, 0.09f},  0.7f},
    // metal: polished steel reflecting the studio
    {"steel", {0.6f, 0.6f, 0.62f},   0,     {0, 0, 0},            {0.9f, 0.9f, 0.9f},    300, 0.95f, {0.62f, 0.64f, 0.68f}, {0.04f, 0.045f, 0.05f}, 0},
    // skin: warm, red light in the terminator, soft sheen
    {"skin",  {0.72f, 0.46f, 0.36f}, 0.55f, {1.0f, 0.32f, 0.2f},  {0.12f, 0.11f, 0.1f},  28,  0,     {0, 0, 0},             {0.16f, 0.10f, 0.09f},  0},
    // gold: warm reflective metal
    {"gold",  {0.9f, 0.7f, 0.3f},    0,     {0, 0, 0},            {1.0f, 0.85f, 0.55f},  250, 0.95f, {1.0f, 0.72f, 0.30f},  {0.06f, 0.045f, 0.02f}, 0},
};
// clang-format on

// ================================================================ noise normal map

// Value noise on a lattice that wraps every `period` cells: the map tiles.
static float LatticeValue(int x, int y, int period, u32 seed) {
    x = ((x % period) + period) % period;
    y = ((y % period) + period) % period;
    return (Hash((u32)x * 374761393U + (u32)y * 668265263U + seed) & 0xFFFF) / 65535.0f;
}

static float PeriodicNoise(float x, float y, int period, u32 seed) {
    int x0 = (int)std::floor(x), y0 = (int)std::floor(y);
    float fx = x - x0, fy = y - y0;
    fx = fx * fx * (3 - 2 * fx);
    fy = fy * fy * (3 - 2 * fy);
    float a = LatticeValue(x0, y0, period, seed), b = LatticeValue(x0 + 1, y0, period, seed);
    float c = LatticeValue(x0, y0 + 1, period, seed),
          d = LatticeValue(x0 + 1, y0 + 1, period, seed);
    return (a + (b - a) * fx) + ((c + (d - c) * fx) - (a + (b - a) * fx)) * fy;
}

static float Height(float u, float v) {
    float h = 0, amplitude = 0.5f;
    int period = 8;
    for (int octave = 0; octave < 5; octave++) {
        h += amplitude * PeriodicNoise(u * period, v * period, period, 1000u + octave);
        amplitude *= 0.5f;
        period *= 2;
    }
    return h;
}

// RGB = the surface normal of the noise height field (0.5 = flat), A = height.
static Image MakeNoiseMap() {
    const int size = 256;
    const float bump = 48.0f, e = 1.0f / size;  // bump: surface tilt per unit of height step
    Image img = MakeImage(size, size);
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            float u = (float)x / size, v = (float)y / size;
            float h = Height(u, v);
            float dx = (Height(u + e, v) - Height(u - e, v)) * 0.5f * bump;
            float dy = (Height(u, v + e) - Height(u, v - e)) * 0.5f * bump;
            V3 n = Norm({-dx, -dy, 1});
            u8* p = &img.rgba[((size_t)y * size + x) * 4];
            p[0] = (u8)std::lround((n.x * 0.5f + 0.5f) * 255);
            p[1] = (u8)std::lround((n.y * 0.5f + 0.5f) * 255);
            p[2] = (u8)std::lround((n.z * 0.5f + 0.5f) * 255);
            p[3] = (u8)std::lround(Clamp01(h) * 255);
        }
    return img;
}

// ================================================================ icon

// A small clay sphere with a soft edge on a transparent square: the window
// icon at 16 pixels, the desktop's application icon at 64.
static Image MakeIcon(int size) {
    const int samples = 4;
    Image img = MakeImage(size, size);
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            Col sum = {0, 0, 0};
            float cover = 0;
            for (int sy = 0; sy < samples; sy++)
                for (int sx = 0; sx < samples; sx++) {
                    float u = ((x + (sx + 0.5f) / samples) / size) * 2.14f - 1.07f;
                    float v = 1.07f - ((y + (sy + 0.5f) / samples) / size) * 2.14f;
                    if (u * u + v * v >= 1) continue;
                    sum = sum + ToneMap(ShadeSphere(materials[0], Norm(MatcapNormal(u, v))) * 1.6f);
                    cover += 1;
                }
            Col c = cover > 0 ? sum * (1 / cover) : Col{0, 0, 0};
            img.Set(x, y, c, cover / (samples * samples), 3);
        }
    return img;
}

// ================================================================ main

// Every material side by side at half size, for reviewing them at a glance.
static void AddToSheet(Image& sheet, const Image& img, int slot) {
    for (int y = 0; y < img.height / 2; y++)
        for (int x = 0; x < img.width / 2; x++)
            for (int c = 0; c < 4; c++) {
                int sum = 0;
                for (int k = 0; k < 4; k++)
                    sum += img.rgba[((size_t)(2 * y + k / 2) * img.width + 2 * x + k % 2) * 4 + c];
                sheet.rgba[((size_t)y * sheet.width + slot * img.width / 2 + x) * 4 + c] =
                    (u8)(sum / 4);
            }
}

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        fprintf(stderr, "usage: %s OUTPUT_DIR [MATERIAL_SHEET.png]\n", argv[0]);
        return 2;
    }
    std::string dir = std::string(argv[1]) + "/";
    bool ok = WritePng(dir + "background.png", MakeBackground());
    const int count = (int)(sizeof materials / sizeof materials[0]);
    Image sheet = MakeImage(256 * count, 256);
    for (int i = 0; i < count; i++) {
        Image img = MakeMatcap(materials[i]);
        ok &= WritePng(dir + "material" + std::to_string(i + 1) + ".png", img);
        AddToSheet(sheet, img, i);
        printf("material%d: %s\n", i + 1, materials[i].name);
    }
    if (argc == 3) ok &= WritePng(argv[2], sheet);
    ok &= WritePng(dir + "noisemap2.png", MakeNoiseMap());
    ok &= WriteIco(dir + "icon-16.ico", MakeIcon(16));
    ok &= WritePng(dir + "icon-64.png", MakeIcon(64));
    if (!ok) fprintf(stderr, "writing into %s failed\n", dir.c_str());
    return ok ? 0 : 1;
}
