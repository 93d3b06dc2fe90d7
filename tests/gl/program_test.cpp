// The real program, started from a temporary copy of its directory on the
// test's X display: the window it opens, the crash marker across a killed
// and a clean run, the restore file, and a clean exit on a window close or
// SIGTERM. Set TESSA_SCREENSHOT_DIR to keep a screenshot of the window.
#include "gl_fixture.h"
// Xlib after the test headers: its macros (None, Bool) clash with theirs.
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Touch(const fs::path& p) { std::ofstream(p) << "restore"; }

bool WaitFor(const std::function<bool()>& condition, i32 timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return condition();
}

// A private program directory (program, data, icon) and a separate working
// directory, so the start-up deletion (relative to the working directory)
// and the shutdown deletion (in the program directory) can be told apart.
class ProgramRun : public ::testing::Test {
protected:
    fs::path dir, work;
    pid_t pid = -1;

    void SetUp() override {
        std::string pattern = std::string(testing::TempDir()) + "tessa_program_XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        work = dir / "work";
        fs::create_directory(work);
        fs::copy_file(TESSA_PROGRAM, dir / "tessaform");
        fs::copy(fs::path(TESSA_SOURCE_DIR) / "data", dir / "data", fs::copy_options::recursive);
        fs::copy_file(dir / "data" / "icon-16.ico", dir / "icon-16.ico");
    }
    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    void Start() {
        pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (chdir(work.c_str()) != 0) _exit(126);
            execl((dir / "tessaform").c_str(), "tessaform", (char*)nullptr);
            _exit(127);
        }
    }
    // Exit status of the program, or -1 when it did not end in time.
    i32 WaitExit(i32 timeoutMs) {
        i32 status = 0;
        bool ended = WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, timeoutMs);
        if (!ended) return -1;
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::string Marker() { return ReadFile(dir / "_startup_recover.dat"); }
};

// ---- the program's window, found on the display by its title

Display* OpenDisplay() { return XOpenDisplay(nullptr); }

pid_t WindowPid(Display* d, Window w) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    pid_t pid = -1;
    if (XGetWindowProperty(d, w, XInternAtom(d, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL, &type,
                           &format, &count, &after, &data) == Success && data) {
        if (count == 1 && format == 32) pid = (pid_t)*(unsigned long*)data;
        XFree(data);
    }
    return pid;
}

// The window of that process whose title starts with prefix (other tests
// may have windows of the same name on the display).
Window FindWindowTitled(Display* d, Window w, pid_t pid, const char* prefix, std::string* title) {
    char* name = nullptr;
    if (XFetchName(d, w, &name) && name) {
        std::string n = name;
        XFree(name);
        if (n.rfind(prefix, 0) == 0 && WindowPid(d, w) == pid) {
            *title = n;
            return w;
        }
    }
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(d, w, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; i++) found = FindWindowTitled(d, children[i], pid, prefix, title);
        if (children) XFree(children);
    }
    return found;
}

void SendClose(Display* d, Window w) {
    XEvent e = {};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = (long)XInternAtom(d, "WM_DELETE_WINDOW", False);
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, w, False, NoEventMask, &e);
    XFlush(d);
}

Picture GrabWindow(Display* d, Window w) {
    XWindowAttributes a;
    XGetWindowAttributes(d, w, &a);
    Picture p;
    XImage* img = XGetImage(d, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (!img) return p;
    p.width = a.width;
    p.height = a.height;
    p.rgba.resize((size_t)a.width * a.height * 4);
    for (i32 y = 0; y < a.height; y++)
        for (i32 x = 0; x < a.width; x++) {
            unsigned long px = XGetPixel(img, x, y);
            u8* o = &p.rgba[((size_t)y * a.width + x) * 4];
            o[0] = (u8)((px & img->red_mask) >> 16);
            o[1] = (u8)((px & img->green_mask) >> 8);
            o[2] = (u8)(px & img->blue_mask);
            o[3] = 255;
        }
    XDestroyImage(img);
    return p;
}

}  // namespace

TEST_F(ProgramRun, OpensItsWindowShowsTheSphereAndEndsCleanlyOnClose) {
    Start();
    ASSERT_TRUE(WaitFor([&] { return Marker() == "0"; }, 30000)) << "twenty frames ran";
    Display* d = OpenDisplay();
    ASSERT_NE(d, nullptr);
    std::string title;
    Window w = 0;
    ASSERT_TRUE(WaitFor([&] { return (w = FindWindowTitled(d, DefaultRootWindow(d), pid, "Tessaform alpha - ", &title)); },
                        5000));
    XWindowAttributes a;
    XGetWindowAttributes(d, w, &a);
    EXPECT_EQ(a.width, 950);
    EXPECT_EQ(a.height, 650);
    EXPECT_EQ(title, "Tessaform alpha - Untitled  ");
    // Windows of tests running alongside may cover it: bring it to the top
    // and let it draw again before reading what the display shows.
    Picture p;
    WaitFor([&] {
        XRaiseWindow(d, w);
        XSync(d, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        p = GrabWindow(d, w);
        return p.width == 950 && p.At(475, 325).r > 120;
    }, 5000);
    ASSERT_EQ(p.width, 950);
    Rgb centre = p.At(475, 325), corner = p.At(3, 3);
    EXPECT_GT(centre.r + centre.g + centre.b, 3 * 120) << "the lit sphere: " << centre;
    EXPECT_LT(corner.r + corner.g + corner.b, 3 * 80) << "the dark backdrop corner: " << corner;
    if (const char* shots = getenv("TESSA_SCREENSHOT_DIR"))
        WritePicturePng(p, (std::string(shots) + "/program.png").c_str());
    Touch(dir / "_restore.tf1");
    SendClose(d, w);
    XCloseDisplay(d);
    EXPECT_EQ(WaitExit(20000), 0);
    EXPECT_EQ(Marker(), "0");
    EXPECT_FALSE(fs::exists(dir / "_restore.tf1")) << "shutdown deletes the restore file";
}

TEST_F(ProgramRun, KilledStartLeavesOneAndTheNextStartDeletesTheRestoreFile) {
    Start();
    ASSERT_TRUE(WaitFor([&] { return Marker() == "1"; }, 30000));
    kill(pid, SIGKILL);
    ASSERT_EQ(WaitExit(10000), 128 + SIGKILL);
    ASSERT_EQ(Marker(), "1") << "killed before its twentieth frame";
    Touch(work / "_restore.tf1");
    Start();
    EXPECT_TRUE(WaitFor([&] { return !fs::exists(work / "_restore.tf1"); }, 30000))
        << "the restore file of a crashed start is suspect";
    ASSERT_TRUE(WaitFor([&] { return Marker() == "0"; }, 30000));
    kill(pid, SIGTERM);
    EXPECT_EQ(WaitExit(20000), 0) << "SIGTERM ends the program through its shutdown";
    EXPECT_EQ(Marker(), "0");
}

TEST_F(ProgramRun, CleanPreviousRunKeepsTheRestoreFileAtStart) {
    Start();
    ASSERT_TRUE(WaitFor([&] { return Marker() == "0"; }, 30000));
    kill(pid, SIGTERM);
    ASSERT_EQ(WaitExit(20000), 0);
    Touch(work / "_restore.tf1");
    Start();
    ASSERT_TRUE(WaitFor([&] { return Marker() == "1"; }, 30000));
    EXPECT_TRUE(fs::exists(work / "_restore.tf1"));
    kill(pid, SIGTERM);
    EXPECT_EQ(WaitExit(20000), 0);
    EXPECT_EQ(Marker(), "1") << "ended before its twentieth frame";
}
