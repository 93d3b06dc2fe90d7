// The window icon reader: the shipped icon decodes to a 16 x 16 picture
// with a transparent surround, and damaged icon files are refused.
#include <fstream>
#include <vector>
#include "gl_fixture.h"

namespace {

std::vector<u8> ShippedIcon() {
    std::ifstream in(AppPath("data/icon-16.ico"), std::ios::binary);
    return std::vector<u8>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void PutU32(std::vector<u8>& b, size_t at, u32 v) {
    for (i32 i = 0; i < 4; i++) b[at + i] = (u8)(v >> (8 * i));
}

}  // namespace

TEST(WindowIcon, ShippedIconIsASixteenPixelSphereOnTransparency) {
    std::vector<u8> bytes = ShippedIcon();
    ASSERT_FALSE(bytes.empty());
    i32 w = 0, h = 0;
    u8* rgba = DecodeIco(bytes.data(), bytes.size(), &w, &h);
    ASSERT_NE(rgba, nullptr);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 16);
    EXPECT_EQ(rgba[3], 0) << "corner transparent";
    EXPECT_EQ(rgba[(8 * 16 + 8) * 4 + 3], 255) << "centre opaque";
    // The key light is upper left: the top-left of the sphere is the brighter.
    const u8* upper = &rgba[(5 * 16 + 5) * 4];
    const u8* lower = &rgba[(11 * 16 + 11) * 4];
    EXPECT_GT(upper[0] + upper[1] + upper[2], lower[0] + lower[1] + lower[2]);
    free(rgba);
}

TEST(WindowIcon, TwentyFourBitIconTakesItsTransparencyFromTheMask) {
    // 2 x 2, 24-bit: colour rows of 6 bytes padded to 8, bottom row first,
    // then the mask in 4-byte rows, also bottom row first. Only the top-left
    // pixel is masked.
    std::vector<u8> b(6 + 16 + 40 + 16 + 8, 0);
    b[2] = 1;
    b[4] = 1;  // icon, one image
    b[6] = 2;
    b[7] = 2;
    PutU32(b, 6 + 8, 40 + 16 + 8);  // bytes in the image
    PutU32(b, 6 + 12, 22);          // image offset
    PutU32(b, 22, 40);
    PutU32(b, 26, 2);
    PutU32(b, 30, 4);
    b[34] = 1;
    b[36] = 24;
    u8* colour = &b[62];
    colour[0] = 10;
    colour[1] = 20;
    colour[2] = 30;  // bottom-left, BGR
    colour[8] = 1;
    colour[9] = 2;
    colour[10] = 3;         // top-left
    b[62 + 16 + 4] = 0x80;  // mask row of the top row: first pixel
    i32 w = 0, h = 0;
    u8* rgba = DecodeIco(b.data(), b.size(), &w, &h);
    ASSERT_NE(rgba, nullptr);
    EXPECT_EQ(rgba[0], 3);           // top-left red
    EXPECT_EQ(rgba[3], 0);           // masked
    EXPECT_EQ(rgba[2 * 4 + 0], 30);  // bottom-left, red from the third byte
    EXPECT_EQ(rgba[2 * 4 + 3], 255);
    free(rgba);
}

TEST(WindowIcon, DamagedIconsAreRefused) {
    std::vector<u8> good = ShippedIcon();
    ASSERT_GT(good.size(), 100u);
    std::vector<std::vector<u8>> cases;
    cases.push_back({});
    cases.push_back(std::vector<u8>(good.begin(), good.begin() + 10));
    cases.push_back(std::vector<u8>(good.begin(), good.begin() + good.size() / 2));
    std::vector<u8> offsetOutside = good;
    PutU32(offsetOutside, 6 + 12, 0xFFFFFFF0u);
    cases.push_back(offsetOutside);
    std::vector<u8> hugeSize = good;
    PutU32(hugeSize, 22 + 4, 100000);
    cases.push_back(hugeSize);
    std::vector<u8> compressed = good;
    PutU32(compressed, 22 + 16, 3);
    cases.push_back(compressed);
    std::vector<u8> notIcon = good;
    notIcon[2] = 2;  // a cursor file
    cases.push_back(notIcon);
    for (size_t i = 0; i < cases.size(); i++) {
        i32 w = 0, h = 0;
        u8* rgba = DecodeIco(cases[i].data(), cases[i].size(), &w, &h);
        EXPECT_EQ(rgba, nullptr) << "case " << i;
        free(rgba);
    }
}
