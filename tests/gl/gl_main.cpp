// GL test entry: one real window with its GL context for the whole binary
// (created only when tests run, so listing them needs no display), the
// worker pool as in the program, and appDir pointed at the source tree so
// the shipped pictures load.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <cstdio>
#include "../temp_root.h"
#include "base/settings.h"
#include "parallel/parallel.h"
#include "platform/appinit.h"
#include "platform/window.h"
#include "render/glext.h"
#include "render/render.h"

class WindowEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ResetSettings();
        mtProfiler = 0;
        StartWorkers(0, 0);
        snprintf(appDir, sizeof appDir, "%s", TESSA_SOURCE_DIR);
        windowMaximized = 0;  // tests read pixels at known coordinates
        ASSERT_TRUE(CreateGLWindow("Tessaform GL tests", 950, 650));
        ASSERT_NE(glContext, nullptr) << "no GL context: is there an X display?";
        // Drawn and read back off screen: nothing needs to show on the
        // display the tests run on, which may be a developer's desktop.
        SDL_HideWindow(mainWindow);
        ASSERT_TRUE(InitBufferExtensions(GLProcAddress));
        InitGLState();
        CreateRenderBuffers();
    }
    void TearDown() override {
        ReleaseGLResources();
        DestroyGLWindow();
        StopWorkers();
    }
};

int main(int argc, char** argv) {
    TempRoot temporaryFiles;
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new WindowEnvironment);
    return RUN_ALL_TESTS();
}
