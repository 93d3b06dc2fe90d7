// Test entry: the mesh passes read the multithreading switches, so the
// worker pool runs for the whole test binary, as it does in the program.
#include <gtest/gtest.h>
#include "base/settings.h"
#include "parallel/parallel.h"
#include "temp_root.h"

int main(int argc, char** argv) {
    TempRoot temporaryFiles;
    ::testing::InitGoogleTest(&argc, argv);
    ResetSettings();
    mtProfiler = 0;
    StartWorkers(0, 0);
    int result = RUN_ALL_TESTS();
    StopWorkers();
    return result;
}
