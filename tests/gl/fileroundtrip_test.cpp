// The real program saving and opening through its dialogs: a fake zenity
// first on its PATH answers with the name the test wrote into a file, and
// xdotool presses the keys. Save, sculpt, save under another name, open the
// first file, save it again: the opened sculpture is the saved one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>
#include "app/base.h"

namespace fs = std::filesystem;

namespace {

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, p)) out += buffer;
        pclose(p);
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

void Xdo(const std::string& arguments) {
    std::string command = "xdotool " + arguments + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

void Sleep(i32 ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

template <typename Predicate>
bool WaitUntil(Predicate done, i32 timeoutMs) {
    for (i32 waited = 0; waited < timeoutMs; waited += 50) {
        if (done()) return true;
        Sleep(50);
    }
    return done();
}

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
    fs::path dir;
    pid_t pid = -1;
    std::string window;

    void SetUp() override {
        if (!getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdotool missing";
        char pattern[] = "/tmp/tessaform-files-XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern));
        dir = pattern;
        fs::create_directory(dir / "bin");
        std::ofstream(dir / "bin" / "zenity") << "#!/bin/sh\ncat \"$FAKE_ANSWER_FILE\"\n";
        fs::permissions(dir / "bin" / "zenity", fs::perms::owner_all);
        fs::copy_file(TESSA_PROGRAM, dir / "tessaform");
        fs::create_directory_symlink(fs::path(TESSA_SOURCE_DIR) / "data", dir / "data");
        std::string path = (dir / "bin").string() + ":" + (getenv("PATH") ? getenv("PATH") : "");
        std::string answers = (dir / "answer").string();
        pid = fork();
        if (pid == 0) {
            setenv("PATH", path.c_str(), 1);
            setenv("FAKE_ANSWER_FILE", answers.c_str(), 1);
            if (chdir(dir.c_str()) != 0) _exit(127);
            execl((dir / "tessaform").c_str(), "tessaform", (char*)nullptr);
            _exit(127);
        }
        ASSERT_GT(pid, 0);
        window = Output("timeout 20 xdotool search --all --sync --onlyvisible --pid " + std::to_string(pid) +
                        " --name '^Tessaform alpha' | head -1");
        ASSERT_FALSE(window.empty()) << "the program's window never appeared";
    }
    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        std::error_code ignored;
        if (!dir.empty()) fs::remove_all(dir, ignored);  // removes the data link, not the data
    }
    std::string Title() { return Output("xdotool getwindowname " + window); }
    bool TitleBecomes(const std::string& title) {
        return WaitUntil([&] { return Title() == title; }, 10000);
    }
    // The next dialog answers with this path.
    void Answer(const fs::path& p) { std::ofstream(dir / "answer") << p.string() << "\n"; }
    // Holds a key chord for a few frames: the program reads held keys per frame.
    void Chord(const char* keys) {
        Xdo("windowfocus --sync " + window);
        Xdo(std::string("keydown ") + keys);
        Sleep(300);
        Xdo(std::string("keyup ") + keys);
        Sleep(200);
    }
    void DragAcrossTheMiddle() {
        std::string g = Output("xdotool getwindowgeometry --shell " + window);
        i32 w = std::atoi(g.c_str() + g.find("WIDTH=") + 6), h = std::atoi(g.c_str() + g.find("HEIGHT=") + 7);
        i32 cx = w / 2, cy = h / 2;
        Xdo("mousemove --window " + window + " " + std::to_string(cx) + " " + std::to_string(cy));
        Sleep(300);
        Xdo("mousedown 1");
        for (i32 step = 1; step <= 10; step++) {
            Xdo("mousemove --window " + window + " " + std::to_string(cx + 4 * step) + " " +
                std::to_string(cy + 2 * step));
            Sleep(40);
        }
        Xdo("mouseup 1");
    }
};

TEST_F(FileRoundTrip, SavedSculptureOpensAgainThroughTheDialogs) {
    ASSERT_TRUE(TitleBecomes("Tessaform alpha - Untitled  ")) << "[" << Title() << "]";

    // 1. Ctrl+S on an untitled sculpture asks; the name gets its extension.
    fs::path first = dir / "first \"sculpt\" $x; y";
    Answer(first);
    Chord("ctrl+s");
    ASSERT_TRUE(TitleBecomes("Tessaform alpha - first \"sculpt\" $x; y.tf1  ")) << "[" << Title() << "]";
    fs::path firstFile = first.string() + ".tf1";
    std::vector<u8> saved = Bytes(firstFile);
    ASSERT_GE(saved.size(), 9u);
    EXPECT_EQ(saved.size(), 9 + 17 * (size_t)U32(saved, 0) + 12 * (size_t)U32(saved, 4));

    // 2. Sculpt, then save under another name: a different sculpture.
    DragAcrossTheMiddle();
    ASSERT_TRUE(TitleBecomes("Tessaform alpha - first \"sculpt\" $x; y.tf1 *")) << "[" << Title() << "]";
    Sleep(1500);  // let the mesh settle after the stroke
    Answer(dir / "sculpted.tf1");
    Chord("ctrl+shift+s");
    ASSERT_TRUE(TitleBecomes("Tessaform alpha - sculpted.tf1  ")) << "[" << Title() << "]";
    std::vector<u8> sculpted = Bytes(dir / "sculpted.tf1");

    // 3. Open the first file, then save what was opened once more.
    Answer(firstFile);
    Chord("ctrl+o");
    ASSERT_TRUE(TitleBecomes("Tessaform alpha - first \"sculpt\" $x; y.tf1  ")) << "[" << Title() << "]";
    Sleep(1500);
    Answer(dir / "reopened.tf1");
    Chord("ctrl+shift+s");
    ASSERT_TRUE(TitleBecomes("Tessaform alpha - reopened.tf1  ")) << "[" << Title() << "]";
    std::vector<u8> reopened = Bytes(dir / "reopened.tf1");

    // Relaxation after opening may slide vertices a little; the stroke moved
    // them further or changed the counts.
    f32 back = Difference(saved, reopened), stroke = Difference(saved, sculpted);
    EXPECT_LT(back, 0.5f) << "the opened sculpture is not the saved one";
    EXPECT_GT(stroke, 4 * back) << "the stroke changed nothing, so the test proves nothing";
}

}  // namespace
