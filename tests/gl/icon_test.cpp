// The window icon reader: the shipped icon decodes to a 16 x 16 picture
// with a transparent surround, a 24-bit icon takes its transparency from
// its mask, and damaged icon files are refused.
#include <fstream>
#include <vector>
#include "gl_fixture.h"

namespace {

using Bytes = std::vector<u8>;

Bytes ShippedIcon() {
    std::ifstream in(AppPath("data/icon-16.ico"), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The icon as RGBA, top row first, and its width; empty when refused.
std::pair<Bytes, i32> Decode(const Bytes& file) {
    i32 w = 0, h = 0;
    u8* rgba = DecodeIco(file.data(), file.size(), &w, &h);
    Bytes out(rgba, rgba + (rgba ? (size_t)w * h * 4 : 0));
    free(rgba);
    return {out, w};
}

}  // namespace

TEST(WindowIcon, ShippedIconIsASixteenPixelSphereOnTransparency) {
    auto [rgba, width] = Decode(ShippedIcon());
    EXPECT_EQ(width, 16);
    ASSERT_EQ(rgba.size(), 16 * 16 * 4u);
    EXPECT_EQ(rgba[3], 0) << "corner transparent";
    EXPECT_EQ(rgba[(8 * 16 + 8) * 4 + 3], 255) << "centre opaque";
    // The key light is upper left: the top-left of the sphere is the brighter.
    const u8 *upper = &rgba[(5 * 16 + 5) * 4], *lower = &rgba[(11 * 16 + 11) * 4];
    EXPECT_GT(upper[0] + upper[1] + upper[2], lower[0] + lower[1] + lower[2]);
}

TEST(WindowIcon, TwentyFourBitIconTakesItsTransparencyFromTheMask) {
    // clang-format off
    const Bytes file = {
        0, 0, 1, 0, 1, 0,                                  // an icon file with one image:
        2, 2, 0, 0, 0, 0, 0, 0, 64, 0, 0, 0, 22, 0, 0, 0,  // 2 x 2, 64 bytes from byte 22
        40, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 1, 0, 24, 0,  // colour and mask rows, 24-bit,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // uncompressed
        10, 20, 30, 0, 0, 0, 0, 0,  // colour rows, bottom first, blue green red, padded to 4
        1, 2, 3, 0, 0, 0, 0, 0,
        0, 0, 0, 0,                 // mask rows, bottom first: only the top-left pixel
        0x80, 0, 0, 0,
    };
    // clang-format on
    auto [rgba, width] = Decode(file);
    EXPECT_EQ(width, 2);
    ASSERT_EQ(rgba.size(), 2 * 2 * 4u);
    EXPECT_EQ(rgba[0], 3) << "top-left red, from the third byte";
    EXPECT_EQ(rgba[3], 0) << "masked";
    EXPECT_EQ(rgba[2 * 4 + 0], 30) << "bottom-left red";
    EXPECT_EQ(rgba[2 * 4 + 3], 255) << "not masked";
}

TEST(WindowIcon, DamagedIconsAreRefused) {
    const Bytes good = ShippedIcon();
    ASSERT_GT(good.size(), 100u);
    // The icon with a little-endian number changed.
    auto with = [&](size_t at, u32 value, i32 bytes = 4) {
        Bytes b = good;
        for (i32 i = 0; i < bytes; i++) b[at + i] = (u8)(value >> (8 * i));
        return b;
    };
    const std::pair<const char*, Bytes> cases[] = {
        {"empty", {}},
        {"cut in the header", Bytes(good.begin(), good.begin() + 10)},
        {"cut in the image", Bytes(good.begin(), good.begin() + good.size() / 2)},
        {"image offset outside the file", with(6 + 12, 0xFFFFFFF0u)},
        {"huge width", with(22 + 4, 100000)},
        {"compressed", with(22 + 16, 3)},
        {"a cursor file", with(2, 2, 2)},
    };
    for (const auto& [name, file] : cases) EXPECT_TRUE(Decode(file).first.empty()) << name;
}
