// The GLSL programs: built from the shipped files with every input the
// renderer sets, or the fixed-function picture and the log lines; K and
// Shift+K rebuild once per change, a broken rebuild keeps the programs.
#include "render/shaders.h"
#include <filesystem>
#include "../frame_fixture.h"
#include "platform/window.h"
#include "render/glext.h"
#include "render/render.h"
#include "render/textures.h"

namespace {

// The centre of the start sphere.
std::vector<u8> DrawAndProbe() {
    arraysDirty = fullRebuild = meshChanged = colorsDirty = 1;
    DrawFrameFromStartState();
    std::vector<u8> rgb(3);
    glReadPixels(475, 324, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

// Shipped pictures; the GLSL files copied to a program directory the test may break.
class ShaderTest : public FrameTest {
protected:
    std::string shipped = appDir;
    void SetUp() override {
        FrameTest::SetUp();
        LoadStartupTextures();
        windowMaximized = 0;
        Resize(950, 650);
        UpdateViewAxes();
        std::filesystem::create_directory(dir.File("data"));
        snprintf(appDir, sizeof appDir, "%s/", dir.path.c_str());
        CopyShipped();
    }
    void CopyShipped() {
        for (const char* name : {SHADER_VERTEX_FILE, SHADER_PLAIN_FILE, SHADER_BUMP_FILE})
            std::filesystem::copy_file(shipped + name, dir.File(name),
                                       std::filesystem::copy_options::overwrite_existing);
    }
    void TearDown() override {
        snprintf(appDir, sizeof appDir, "%s", shipped.c_str());
        shadersActive = bumpShading = 0;  // the other GL tests draw with the fixed light
        ReleaseTextures();
        FrameTest::TearDown();
    }
};

}  // namespace

TEST_F(ShaderTest, ProgramsLinkWithEveryInputOrABrokenFileFallsBackWithItsLogLines) {
    symmetry = 1;  // both programs draw
    const std::vector<u8> fixed = DrawAndProbe();
    const std::string missing = "Loading shaders...*** shader source missing or unreadable: ",
                      uncompiled = "Loading shaders...*** Shader compilation error",
                      unlinked = "Linking shaders...*** Shader link error";
    struct Case {
        const char *name, *file, *text;  // no file: all as shipped; no text: file removed
        u8 bump;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"plain", nullptr, nullptr, 0, {"Initializing GLSL... Success", "Shaders are go!"}},
        {"bump", nullptr, nullptr, 1, {"Loading shaders... Success", "Linking shaders... Success"}},
        {"vertex shader missing", SHADER_VERTEX_FILE, nullptr, 0, {missing}},
        {"bump shader missing", SHADER_BUMP_FILE, nullptr, 1, {missing}},
        {"syntax", SHADER_PLAIN_FILE, "void main() { oops }", 0, {uncompiled, "compiler_log: "}},
        {"empty", SHADER_BUMP_FILE, "", 1, {uncompiled}},
        {"no main", SHADER_PLAIN_FILE, "void f() {}", 0, {unlinked}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestLog log;
        CopyShipped();
        if (c.file) std::filesystem::remove(dir.File(c.file));
        if (c.text) WriteBytes(dir.File(c.file), std::vector<u8>(c.text, c.text + strlen(c.text)));
        shadersActive = 0, bumpShading = c.bump;
        StoreRestState();
        EXPECT_EQ(InitShaders(c.bump), !c.file);
        for (const std::string& line : c.lines) EXPECT_TRUE(log.Has(line)) << line;
        EXPECT_EQ(DrawAndProbe() == fixed, c.file != nullptr) << "the fixed-function picture";
        EXPECT_FALSE(log.Has("Unfound variable"));
        if (c.file) continue;
        for (u32 program : {normalProgram, mirrorProgram})
            for (const char* name : {"app_GPosition", "app_GNormal"})
                EXPECT_EQ(arb::glGetAttribLocationARB(program, name) >= 0, c.bump) << name;
    }
}

TEST_F(ShaderTest, KTwiceRebuildsOnceShiftKGoesBackAndABrokenRebuildKeepsThePrograms) {
    TestLog log;
    auto pressAndServe = [&](std::vector<i32> keys) {
        Frame(), Press(keys), ServeRenderRequests();  // released first: a new press
    };
    pressAndServe({KEY_K});  // no programs before, as with enable_shaders off
    u32 bump = normalProgram;
    pressAndServe({KEY_K});
    EXPECT_TRUE(shadersActive && bumpShading && normalProgram == bump);
    EXPECT_EQ(log.Count("Shaders are go!"), 1);
    pressAndServe({KEY_K, KEY_LSHIFT});
    EXPECT_TRUE(log.Count("Shaders are go!") == 2 && !bumpShading);
    u32 plain = normalProgram;
    std::vector<u8> shaded = DrawAndProbe();
    WriteBytes(dir.File(SHADER_BUMP_FILE), {'x'});
    pressAndServe({KEY_K});
    EXPECT_TRUE(shadersActive && bumpShading && normalProgram == plain);
    EXPECT_EQ(DrawAndProbe(), shaded) << "the plain programs still draw";
}
