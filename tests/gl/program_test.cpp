// The real program, started from a temporary copy of its directory on an
// X server of its own: the window it opens, the crash marker across a killed
// and a clean run, the restore file, and a clean exit on a window close or
// SIGTERM. Set TESSA_SCREENSHOT_DIR to keep a screenshot of the window.
#include <gtest/gtest.h>
#include <signal.h>
#include <filesystem>
#include <fstream>
#include <string>
#include "xsession.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Touch(const fs::path& p) { std::ofstream(p) << "restore"; }

// The marker changes within a few frames of a start: look often.
constexpr i32 kMarkerPollMs = 2;

// The program on an X server of its own, from a private program directory
// (program, data, icon) with a separate working directory, so the start-up
// deletion (relative to the working directory) and the shutdown deletion
// (in the program directory) can be told apart.
class ProgramRun : public ::testing::Test {
protected:
    PrivateDisplay display;
    RunningProgram program;
    fs::path dir, work;

    void SetUp() override {
        ASSERT_TRUE(display.Start()) << "no private X server (Xvfb)";
        ASSERT_TRUE(program.Prepare());
        dir = program.dir;
        work = program.work = dir / "work";
        fs::create_directory(work);
    }

    void Start() { ASSERT_TRUE(program.Start()); }
    // Exit status of the program, or -1 when it did not end in time.
    i32 WaitExit(i32 timeoutMs) { return program.Exited(timeoutMs) ? program.exitStatus : -1; }
    std::string Marker() { return ReadFile(dir / "_startup_recover.dat"); }
    bool MarkerBecomes(const char* value, i32 timeoutMs) {
        return WaitUntil([&] { return Marker() == value; }, timeoutMs, kMarkerPollMs);
    }
};

}  // namespace

TEST_F(ProgramRun, OpensItsWindowShowsTheSphereAndEndsCleanlyOnClose) {
    Start();
    ASSERT_TRUE(MarkerBecomes("0", 30000)) << "twenty frames ran";
    WindowId w = FindProgramWindow(program.pid, "Tessaform alpha - ", 5000);
    ASSERT_NE(w, 0u);
    WindowSize size = SizeOf(w);
    EXPECT_EQ(size.width, 950);
    EXPECT_EQ(size.height, 650);
    EXPECT_EQ(WindowName(w), "Tessaform alpha - Untitled  ");
    // Let it draw a frame showing the sphere before judging what the display shows.
    Picture p;
    WaitUntil(
        [&] {
            p = GrabWindow(w);
            return p.width == 950 && p.At(475, 325).r > 120;
        },
        5000, 100);
    ASSERT_EQ(p.width, 950);
    Rgb centre = p.At(475, 325), corner = p.At(3, 3);
    EXPECT_GT(centre.r + centre.g + centre.b, 3 * 120) << "the lit sphere: " << centre;
    EXPECT_LT(corner.r + corner.g + corner.b, 3 * 80) << "the dark backdrop corner: " << corner;
    if (const char* shots = getenv("TESSA_SCREENSHOT_DIR"))
        WritePicturePng(p, std::string(shots) + "/program.png");
    Touch(dir / "_restore.tf1");
    RequestClose(w);
    EXPECT_EQ(WaitExit(20000), 0);
    EXPECT_EQ(Marker(), "0");
    EXPECT_FALSE(fs::exists(dir / "_restore.tf1")) << "shutdown deletes the restore file";
}

TEST_F(ProgramRun, KilledStartLeavesOneAndTheNextStartDeletesTheRestoreFile) {
    Start();
    ASSERT_TRUE(MarkerBecomes("1", 30000));
    kill(program.pid, SIGKILL);
    ASSERT_EQ(WaitExit(10000), 128 + SIGKILL);
    ASSERT_EQ(Marker(), "1") << "killed before its twentieth frame";
    Touch(work / "_restore.tf1");
    Start();
    EXPECT_TRUE(WaitUntil([&] { return !fs::exists(work / "_restore.tf1"); }, 30000, kMarkerPollMs))
        << "the restore file of a crashed start is suspect";
    ASSERT_TRUE(MarkerBecomes("0", 30000));
    kill(program.pid, SIGTERM);
    EXPECT_EQ(WaitExit(20000), 0) << "SIGTERM ends the program through its shutdown";
    EXPECT_EQ(Marker(), "0");
}

TEST_F(ProgramRun, CleanPreviousRunKeepsTheRestoreFileAtStart) {
    Start();
    ASSERT_TRUE(MarkerBecomes("0", 30000));
    kill(program.pid, SIGTERM);
    ASSERT_EQ(WaitExit(20000), 0);
    Touch(work / "_restore.tf1");
    Start();
    ASSERT_TRUE(MarkerBecomes("1", 30000));
    EXPECT_TRUE(fs::exists(work / "_restore.tf1"));
    kill(program.pid, SIGTERM);
    EXPECT_EQ(WaitExit(20000), 0);
    EXPECT_EQ(Marker(), "1") << "ended before its twentieth frame";
}
