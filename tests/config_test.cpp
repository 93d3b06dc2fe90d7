// config.txt: the round trip, damaged and hostile files, and the safe write.
#include "app/config.h"
#include <sys/resource.h>
#include <csignal>
#include "meshfile_fixture.h"

class ConfigTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.File("config.txt");
    void TearDown() override {
        ResetSettings();
        mtProfiler = 0;
    }
    std::string Text() const {
        std::vector<u8> b = ReadBytes(path);
        return {b.begin(), b.end()};
    }
    // The file of the current settings with one piece of text replaced.
    void WriteEdited(const std::string& from, const std::string& to) {
        ASSERT_TRUE(WriteConfig(path.c_str()));
        std::string text = Text();
        size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
        WriteBytes(path, {text.begin(), text.end()});
    }
};

static bool Is(f32 value, f32 expected) { return std::fabs(value - expected) < 1e-6f; }

// Every field differs from the defaults; tools 0.00 .. 0.95 and 1.00 .. 0.05.
static void SetDistinctSettings() {
    ResetSettings();
    windowWidth = 1234;
    windowX = -20;
    windowMaximized = symmetry = cornerTesselate = mtProfiler = mtEdges = 0;
    startMeshType = 1;
    detailBias = 1.234f;
    materialIndex = 4;
    for (i32 i = 0; i < 20; i++) toolSize[i] = 1 - (toolStrength[i] = 1 - i * 0.05f);
}

TEST_F(ConfigTest, WriteThenReadReproducesEverySettingInHundredths) {
    SetDistinctSettings();
    ASSERT_TRUE(WriteConfig(path.c_str()));
    const std::string first = Text();
    EXPECT_NE(first.find("detail_bias 123\n"), std::string::npos);
    EXPECT_NE(first.find("mt_profiler   0\nmt_varrays    0\n"), std::string::npos);
    ResetSettings();
    ASSERT_TRUE(ReadConfig(path.c_str()));
    EXPECT_TRUE(Is(detailBias, 1.23f) && Is(toolSize[19], 0.95f));
    ASSERT_TRUE(WriteConfig(path.c_str()));
    EXPECT_EQ(Text(), first);
}

// Each damaged file is read over settings that differ from it, so a value
// shows whether it came from the file or was kept.
TEST_F(ConfigTest, DamagedAndHostileLinesCostOnlyWhatTheyMust) {
    struct Case {
        std::string from, to;
        bool (*expect)();
    };
    const Case cases[] = {
        {"version 3", "version 2", [] { return windowWidth == 950 && Is(detailBias, 1.3f); }},
        // Without menu_zoom it repeats corner_tesselate; later lines still read.
        {"menu_zoom 1\n", "", [] { return !menuZoom && materialIndex == 4 && !mtEdges; }},
        // Letters stop every later read: wireframe repeats menu_zoom, the
        // tools fall back to 0.5, material and the mt_ switches stay.
        {"detail_bias 123", "detail_bias abc",
         [] {
             return !detailBias && wireframe && Is(toolSize[3], 0.5f) && !materialIndex && mtEdges;
         }},
        // Slot numbers are ignored: lines apply in file order.
        {"tparam 0 0 100", "tparam 19 42 43",
         [] {
             return Is(toolSize[0], 0.42f) && Is(toolStrength[0], 0.43f) && Is(toolSize[1], 0.05f);
         }},
        {"window_width 1234", "window_width 9999999999", [] { return windowWidth == 16384; }},
        {"detail_bias 123", "detail_bias -5", [] { return detailBias == 0 && materialIndex == 4; }},
        {"tparam 1 5 95", "tparam 1 500 -3", [] { return toolSize[1] == 1 && !toolStrength[1]; }},
        // A file too long to be ours is refused whole.
        {"window_x", std::string(70000, 'k'), [] { return windowWidth == 950; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to.substr(0, 40));
        SetDistinctSettings();
        WriteEdited(c.from, c.to);
        ResetSettings();
        ReadConfig(path.c_str());
        EXPECT_TRUE(c.expect());
    }
}

// The size limit makes the write fail half way, as a full disk would.
TEST_F(ConfigTest, FailedWriteKeepsThePreviousFile) {
    ASSERT_TRUE(WriteConfig(path.c_str()));
    const std::string before = Text();
    SetDistinctSettings();
    rlimit saved, small;
    getrlimit(RLIMIT_FSIZE, &saved);
    small = {100, saved.rlim_max};
    auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    bool written = WriteConfig(path.c_str());
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(Text(), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 1);
}
