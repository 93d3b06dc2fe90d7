// PNG pictures: every colour type and depth arrives as 8-bit RGBA rows, top
// row first; damaged files are refused with a log line and never crash;
// texture holders keep or replace their GL texture as they should.
#include <png.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>
#include "base/log.h"
#include "gl_fixture.h"

namespace {

// Named after the running test: ctest runs the cases as parallel processes.
std::string TempPath(const char* name) {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    return std::string(testing::TempDir()) + "tessa_" + test->name() + "_" + name;
}

// Writes an image 3 pixels wide of the given type; rows are given as raw
// samples. Palette images use red, green and blue, with transparency alpha
// 255, 128 and 0 when asked.
bool WritePng(const std::string& path, i32 colorType, i32 depth,
              const std::vector<std::vector<u8>>& rows, i32 interlace = PNG_INTERLACE_NONE,
              bool withTransparency = false) {
    PngLayout layout;
    layout.colorType = colorType;
    layout.depth = depth;
    layout.interlace = interlace;
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        layout.palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
        if (withTransparency) layout.paletteAlpha = {255, 128, 0};
    }
    std::vector<const u8*> pointers;
    for (const auto& r : rows) pointers.push_back(r.data());
    return ::WritePng(path, 3, pointers, layout);
}

struct Decoded {
    u8* pixels = nullptr;
    i32 width = 0, height = 0;
    ~Decoded() { free(pixels); }
    std::vector<u8> Pixel(i32 x, i32 y) const {
        const u8* p = pixels + ((size_t)y * width + x) * 4;
        return {p[0], p[1], p[2], p[3]};
    }
};

void Decode(const std::string& path, Decoded& d) {
    d.pixels = DecodePng(path.c_str(), &d.width, &d.height);
}

std::vector<u8> Rgba(u8 r, u8 g, u8 b, u8 a) { return {r, g, b, a}; }

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<u8>& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

std::vector<u8> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<u8>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class PngTest : public ::testing::Test {
protected:
    std::string logFile = TempPath("log.txt");
    void SetUp() override {
        LogOpen(logFile.c_str());
        LogBeginVerbose(0);
    }
    void TearDown() override { LogEndVerbose(); }
    bool Logged(const char* text) { return ReadText(logFile).find(text) != std::string::npos; }
};

}  // namespace

// ================================================================ colour types

TEST_F(PngTest, RgbaIsReadAsStoredWithTheTopRowFirst) {
    std::string path = TempPath("rgba.png");
    ASSERT_TRUE(WritePng(path, PNG_COLOR_TYPE_RGBA, 8,
                         {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
                          {13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}}));
    Decoded d;
    Decode(path, d);
    ASSERT_NE(d.pixels, nullptr);
    EXPECT_EQ(d.width, 3);
    EXPECT_EQ(d.height, 2);
    EXPECT_EQ(d.Pixel(0, 0), Rgba(1, 2, 3, 4));
    EXPECT_EQ(d.Pixel(2, 1), Rgba(21, 22, 23, 24));
}

TEST_F(PngTest, RgbWithoutAlphaBecomesOpaque) {
    std::string path = TempPath("rgb.png");
    ASSERT_TRUE(WritePng(path, PNG_COLOR_TYPE_RGB, 8, {{10, 20, 30, 40, 50, 60, 70, 80, 90}}));
    Decoded d;
    Decode(path, d);
    ASSERT_NE(d.pixels, nullptr);
    EXPECT_EQ(d.Pixel(1, 0), Rgba(40, 50, 60, 255));
}

TEST_F(PngTest, GreyAndGreyAlphaSpreadToAllThreeChannels) {
    std::string grey = TempPath("grey.png"), greyAlpha = TempPath("greyalpha.png");
    ASSERT_TRUE(WritePng(grey, PNG_COLOR_TYPE_GRAY, 8, {{0, 128, 255}}));
    ASSERT_TRUE(WritePng(greyAlpha, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {{7, 70, 8, 80, 9, 90}}));
    Decoded a, b;
    Decode(grey, a);
    Decode(greyAlpha, b);
    ASSERT_NE(a.pixels, nullptr);
    ASSERT_NE(b.pixels, nullptr);
    EXPECT_EQ(a.Pixel(1, 0), Rgba(128, 128, 128, 255));
    EXPECT_EQ(b.Pixel(2, 0), Rgba(9, 9, 9, 90));
}

TEST_F(PngTest, LowBitGreyIsScaledToFullRange) {
    std::string path = TempPath("grey1.png");
    ASSERT_TRUE(WritePng(path, PNG_COLOR_TYPE_GRAY, 1, {{0xA0}}));  // pixels 1, 0, 1
    Decoded d;
    Decode(path, d);
    ASSERT_NE(d.pixels, nullptr);
    EXPECT_EQ(d.Pixel(0, 0), Rgba(255, 255, 255, 255));
    EXPECT_EQ(d.Pixel(1, 0), Rgba(0, 0, 0, 255));
}

TEST_F(PngTest, PaletteWithTransparencyBecomesRgba) {
    std::string path = TempPath("palette.png");
    ASSERT_TRUE(WritePng(path, PNG_COLOR_TYPE_PALETTE, 8, {{0, 1, 2}}, PNG_INTERLACE_NONE, true));
    Decoded d;
    Decode(path, d);
    ASSERT_NE(d.pixels, nullptr);
    EXPECT_EQ(d.Pixel(0, 0), Rgba(255, 0, 0, 255));
    EXPECT_EQ(d.Pixel(1, 0), Rgba(0, 255, 0, 128));
    EXPECT_EQ(d.Pixel(2, 0), Rgba(0, 0, 255, 0));
}

TEST_F(PngTest, SixteenBitSamplesKeepTheirHighByte) {
    std::string path = TempPath("rgba16.png");
    std::vector<u8> row;  // big-endian 16-bit samples: 0x1234 -> 0x12
    for (i32 i = 0; i < 12; i++) {
        row.push_back((u8)(0x10 + i));
        row.push_back(0x34);
    }
    ASSERT_TRUE(WritePng(path, PNG_COLOR_TYPE_RGBA, 16, {row}));
    Decoded d;
    Decode(path, d);
    ASSERT_NE(d.pixels, nullptr);
    EXPECT_EQ(d.Pixel(2, 0), Rgba(0x18, 0x19, 0x1A, 0x1B));
}

TEST_F(PngTest, InterlacedImagesAreAssembledWhole) {
    std::string path = TempPath("interlaced.png");
    std::vector<std::vector<u8>> rows;
    for (u8 y = 0; y < 9; y++) rows.push_back({y, 0, 0, (u8)(y + 100), 0, 0, (u8)(y + 200), 0, 0});
    ASSERT_TRUE(WritePng(path, PNG_COLOR_TYPE_RGB, 8, rows, PNG_INTERLACE_ADAM7));
    Decoded d;
    Decode(path, d);
    ASSERT_NE(d.pixels, nullptr);
    ASSERT_EQ(d.height, 9);
    for (i32 y = 0; y < 9; y++)
        EXPECT_EQ(d.Pixel(2, y), Rgba((u8)(y + 200), 0, 0, 255)) << "row " << y;
}

TEST_F(PngTest, ShippedPicturesAreRgbaAndDistinct) {
    i32 count = CountMaterials();
    EXPECT_GE(count, 5);
    std::vector<std::vector<u8>> centres;
    for (i32 i = 1; i <= count; i++) {
        char name[64];
        snprintf(name, sizeof name, "data/material%i.png", i);
        Decoded d;
        Decode(AppPath(name), d);
        ASSERT_NE(d.pixels, nullptr) << name;
        centres.push_back(d.Pixel(d.width / 2, d.height / 2));
    }
    for (size_t a = 0; a < centres.size(); a++)
        for (size_t b = a + 1; b < centres.size(); b++)
            EXPECT_NE(centres[a], centres[b])
                << "materials " << a + 1 << " and " << b + 1 << " look alike";
    for (const char* name : {"data/background.png", "data/noisemap2.png"}) {
        Decoded d;
        Decode(AppPath(name), d);
        EXPECT_NE(d.pixels, nullptr) << name;
    }
}

// ================================================================ damaged files

TEST_F(PngTest, MissingFileIsRefusedQuietly) {
    Decoded d;
    Decode(TempPath("does-not-exist.png"), d);
    EXPECT_EQ(d.pixels, nullptr);
    EXPECT_FALSE(Logged("does-not-exist"));
}

TEST_F(PngTest, DamagedFilesAreRefusedWithALogLine) {
    std::string good = TempPath("good.png");
    std::vector<std::vector<u8>> rows(40, std::vector<u8>(12));
    for (size_t y = 0; y < rows.size(); y++)
        for (size_t x = 0; x < 12; x++) rows[y][x] = (u8)(y * 31 + x * 7);
    ASSERT_TRUE(WritePng(good, PNG_COLOR_TYPE_RGBA, 8, rows));
    std::vector<u8> bytes = ReadBytes(good);
    std::vector<u8> garbage(300);
    for (size_t i = 0; i < garbage.size(); i++) garbage[i] = (u8)(i * 97 + 13);
    std::vector<u8> badCrc = bytes;
    badCrc[45] ^= 0x55;  // inside the image data: its checksum no longer matches
    std::vector<u8> hugeHeader = bytes;
    hugeHeader[16] = 0x7F;  // width 2 billion: must not be allocated
    const std::pair<const char*, std::vector<u8>> cases[] = {
        {"zero.png", {}},
        {"signature-only.png", std::vector<u8>(bytes.begin(), bytes.begin() + 8)},
        {"cut-in-header.png", std::vector<u8>(bytes.begin(), bytes.begin() + 20)},
        {"cut-in-data.png", std::vector<u8>(bytes.begin(), bytes.begin() + bytes.size() / 2)},
        {"garbage.png", garbage},
        {"bad-crc.png", badCrc},
        {"huge.png", hugeHeader},
    };
    for (const auto& [name, content] : cases) {
        std::string path = TempPath(name);
        WriteBytes(path, content);
        Decoded d;
        Decode(path, d);
        EXPECT_EQ(d.pixels, nullptr) << name;
        EXPECT_TRUE(Logged(name)) << name << " is named in the log";
    }
}

TEST_F(PngTest, FuzzedFilesNeverCrash) {
    std::string good = TempPath("fuzz-source.png");
    std::vector<std::vector<u8>> rows(16, std::vector<u8>(12, 0x80));
    ASSERT_TRUE(WritePng(good, PNG_COLOR_TYPE_RGBA, 8, rows));
    std::vector<u8> bytes = ReadBytes(good);
    u32 seed = 12345;
    for (i32 round = 0; round < 300; round++) {
        std::vector<u8> mutated = bytes;
        for (i32 k = 0; k < 1 + round % 6; k++) {
            seed = seed * 1664525u + 1013904223u;
            mutated[(seed >> 8) % mutated.size()] = (u8)(seed >> 24);
        }
        std::string path = TempPath("fuzz.png");
        WriteBytes(path, mutated);
        Decoded d;
        Decode(path, d);
        if (d.pixels) { EXPECT_TRUE(d.width > 0 && d.height > 0) << "seed round " << round; }
    }
}

// ================================================================ textures

TEST_F(PngTest, FailedLoadKeepsThePreviousTexture) {
    std::string path = TempPath("tex.png");
    ASSERT_TRUE(WritePng(path, PNG_COLOR_TYPE_RGB, 8, {{1, 2, 3, 4, 5, 6, 7, 8, 9}}));
    Texture t;
    ASSERT_TRUE(t.LoadPng(path.c_str(), TEXTURE_LINEAR));
    u32 name = t.Handle();
    WriteBytes(TempPath("broken.png"), {1, 2, 3});
    EXPECT_FALSE(t.LoadPng(TempPath("broken.png").c_str(), TEXTURE_LINEAR));
    EXPECT_FALSE(t.LoadPng(TempPath("missing.png").c_str(), TEXTURE_LINEAR));
    EXPECT_EQ(t.Handle(), name);
    EXPECT_TRUE(glIsTexture(name));
    t.Release();
}

TEST_F(PngTest, LoadingASecondMaterialDeletesTheFirstTexture) {
    ASSERT_TRUE(LoadMaterialTexture(1));
    u32 first = materialTexture.Handle();
    ASSERT_TRUE(glIsTexture(first));
    ASSERT_TRUE(LoadMaterialTexture(2));
    EXPECT_FALSE(glIsTexture(first));
    EXPECT_TRUE(glIsTexture(materialTexture.Handle()));
    EXPECT_EQ(materialTexture.width, 512);
    materialTexture.Release();
    EXPECT_EQ(materialTexture.Handle(), NO_TEXTURE);
}

TEST_F(PngTest, WidthThatIsNotAPowerOfTwoIsAccepted) {
    std::string path = TempPath("npot.png");
    ASSERT_TRUE(WritePng(path, PNG_COLOR_TYPE_RGB, 8,
                         {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {1, 2, 3, 4, 5, 6, 7, 8, 9}}));
    Texture t;
    EXPECT_TRUE(t.LoadPng(path.c_str(), TEXTURE_LINEAR));
    EXPECT_EQ(t.width, 3);
    EXPECT_TRUE(glIsTexture(t.Handle()));
    t.Release();
}
