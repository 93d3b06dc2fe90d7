// The real program saving and opening through its dialogs: a fake zenity
// first on its PATH answers with the name the test wrote into a file, and
// xdotool presses the keys. Save, sculpt, save under another name, open the
// first file, save it again: the opened sculpture is the saved one.
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include "xsession.h"

namespace fs = std::filesystem;

namespace {

std::vector<u8> Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<u8>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

u32 U32(const std::vector<u8>& b, size_t at) {
    return (u32)b[at] | (u32)b[at + 1] << 8 | (u32)b[at + 2] << 16 | (u32)b[at + 3] << 24;
}

// Largest coordinate difference between two sculptures with the same
// counts; infinity when the counts differ.
f32 Difference(const std::vector<u8>& a, const std::vector<u8>& b) {
    if (a.size() < 9 || a.size() != b.size() || U32(a, 0) != U32(b, 0) || U32(a, 4) != U32(b, 4))
        return INFINITY;
    f32 largest = 0;
    for (u32 i = 0; i < U32(a, 0); i++)
        for (size_t k = 0; k < 3; k++) {
            f32 x, y;
            u32 ux = U32(a, 9 + 17 * (size_t)i + 4 * k), uy = U32(b, 9 + 17 * (size_t)i + 4 * k);
            memcpy(&x, &ux, 4);
            memcpy(&y, &uy, 4);
            largest = std::max(largest, std::fabs(x - y));
        }
    return largest;
}

class FileRoundTrip : public ::testing::Test {
protected:
    PrivateDisplay display;
    RunningProgram program;
    fs::path dir;
    WindowId window = 0;

    void SetUp() override {
        if (!HaveXdotool()) GTEST_SKIP() << "xdotool missing";
        ASSERT_TRUE(display.Start()) << "no private X server (Xvfb)";
        ASSERT_TRUE(program.Prepare());
        dir = program.dir;
        fs::create_directory(dir / "bin");
        std::ofstream(dir / "bin" / "zenity") << "#!/bin/sh\ncat \"$FAKE_ANSWER_FILE\"\n";
        fs::permissions(dir / "bin" / "zenity", fs::perms::owner_all);
        program.environment = {
            {"PATH", (dir / "bin").string() + ":" + (getenv("PATH") ? getenv("PATH") : "")},
            {"FAKE_ANSWER_FILE", (dir / "answer").string()}};
        ASSERT_TRUE(program.Start());
        window = FindProgramWindow(program.pid, "Tessaform alpha", 20000);
        ASSERT_NE(window, 0u) << "the program's window never appeared";
    }
    std::string Title() { return WindowName(window); }
    bool TitleBecomes(const std::string& title) {
        return WaitUntil([&] { return Title() == title; }, 10000);
    }
    // The next dialog answers with this path.
    void Answer(const fs::path& p) { std::ofstream(dir / "answer") << p.string() << "\n"; }
};

TEST_F(FileRoundTrip, SavedSculptureOpensAgainThroughTheDialogs) {
    ASSERT_TRUE(TitleBecomes("Tessaform alpha - Untitled  ")) << "[" << Title() << "]";

    // 1. Ctrl+S on an untitled sculpture asks; the name gets its extension.
    fs::path first = dir / "first \"sculpt\" $x; y";
    Answer(first);
    HoldKeys(window, "ctrl+s");
    ASSERT_TRUE(TitleBecomes("Tessaform alpha - first \"sculpt\" $x; y.tf1  "))
        << "[" << Title() << "]";
    fs::path firstFile = first.string() + ".tf1";
    std::vector<u8> saved = Bytes(firstFile);
    ASSERT_GE(saved.size(), 9u);
    EXPECT_EQ(saved.size(), 9 + 17 * (size_t)U32(saved, 0) + 12 * (size_t)U32(saved, 4));

    // 2. Sculpt, then save under another name: a different sculpture.
    DragAcrossTheMiddle(window);
    ASSERT_TRUE(TitleBecomes("Tessaform alpha - first \"sculpt\" $x; y.tf1 *"))
        << "[" << Title() << "]";
    Sleep(1500);  // let the mesh settle after the stroke
    Answer(dir / "sculpted.tf1");
    HoldKeys(window, "ctrl+shift+s");
    ASSERT_TRUE(TitleBecomes("Tessaform alpha - sculpted.tf1  ")) << "[" << Title() << "]";
    std::vector<u8> sculpted = Bytes(dir / "sculpted.tf1");

    // 3. Open the first file, then save what was opened once more.
    Answer(firstFile);
    HoldKeys(window, "ctrl+o");
    ASSERT_TRUE(TitleBecomes("Tessaform alpha - first \"sculpt\" $x; y.tf1  "))
        << "[" << Title() << "]";
    Sleep(1500);
    Answer(dir / "reopened.tf1");
    HoldKeys(window, "ctrl+shift+s");
    ASSERT_TRUE(TitleBecomes("Tessaform alpha - reopened.tf1  ")) << "[" << Title() << "]";
    std::vector<u8> reopened = Bytes(dir / "reopened.tf1");

    // Relaxation after opening may slide vertices a little; the stroke moved
    // them further or changed the counts.
    f32 back = Difference(saved, reopened), stroke = Difference(saved, sculpted);
    EXPECT_LT(back, 0.5f) << "the opened sculpture is not the saved one";
    EXPECT_GT(stroke, 4 * back) << "the stroke changed nothing, so the test proves nothing";
}

}  // namespace
