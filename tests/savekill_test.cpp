// A save killed at any moment (power cut, the program killed) must leave the
// file either as it was or wholly new: a child process saves a large mesh
// over a small sculpture and is killed at delays spread over a save's length.
#include <signal.h>
#include <sys/wait.h>
#include <chrono>
#include <thread>
#include "meshfile_fixture.h"

using SaveKillTest = MeshTest;

TEST_F(SaveKillTest, AKilledSaveLeavesThePreviousFileOrTheNewOneWhole) {
    TempDir dir;
    std::string path = dir.File("work.tf1");
    BuildSphere();
    ASSERT_TRUE(SaveMesh(path.c_str()));
    const std::vector<u8> before = ReadBytes(path);
    for (i32 pass = 0; pass < 3; pass++) SubdivideAll();  // about 2.7 MB
    const std::vector<u8> after = ImageOfMesh();
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(SaveMesh(dir.File("timing.tf1").c_str()));
    auto saveLength = std::chrono::steady_clock::now() - start;
    // From at once to well after the save has finished (forking a large
    // process takes time of its own), in steps of a twentieth of a save.
    i32 old = 0, replaced = 0, finished = 0;
    for (i32 k = 0; k <= 160 && finished < 3; k++) {
        WriteBytes(path, before);
        pid_t child = fork();
        if (child == 0) _exit(SaveMesh(path.c_str()) ? 0 : 1);
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(saveLength * k / 20);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        finished += WIFEXITED(status);
        std::vector<u8> now = ReadBytes(path);
        ASSERT_TRUE(now == before || now == after) << "killed after " << k << "/20 of a save";
        (now == before ? old : replaced)++;
    }
    printf("saves killed: %i left the old file, %i the new one\n", old, replaced);
    ResetAllocation();
    EXPECT_TRUE(LoadMesh(path.c_str()));
}
