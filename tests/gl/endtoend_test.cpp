// The real program driven by real X input events: a copy of it runs in a
// directory of its own (its settings, log and crash marker stay there) on an
// X server of its own (other tests' windows cannot catch the pointer), and
// xdotool moves the pointer, presses buttons and keys through XTest, the
// way a user's mouse and keyboard reach the window. Window names are read
// back from the X server, so what is checked is what the user sees.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include "app/base.h"
// Last: Xlib's macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace fs = std::filesystem;

namespace {

std::string Trimmed(std::string s) {
    while (!s.empty() && s.back() == '\n') s.pop_back();  // the title ends in a meaningful space
    return s;
}

// Runs a shell command and returns what it printed.
std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, p)) out += buffer;
        pclose(p);
    }
    return Trimmed(out);
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

// A virtual X server for this test alone; its display name goes into
// DISPLAY so the program and every xdotool call use it.
struct PrivateDisplay {
    pid_t pid = -1;
    std::string name;
    std::string previous;

    bool Start() {
        int fds[2];
        if (pipe(fds) != 0) return false;
        pid = fork();
        if (pid == 0) {
            close(fds[0]);
            std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                   "-nolisten", "tcp", (char*)nullptr);
            _exit(127);
        }
        close(fds[1]);
        // Read through the newline: closing the pipe after the digits alone
        // would make the server's second write fail, and it would exit.
        std::string number;
        char c;
        while (pid > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (number.empty()) return false;  // the server never told its number
        name = ":" + number;
        if (const char* d = getenv("DISPLAY")) previous = d;
        setenv("DISPLAY", name.c_str(), 1);
        return true;
    }
    ~PrivateDisplay() {
        if (!previous.empty()) setenv("DISPLAY", previous.c_str(), 1);
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

// A copy of the program in a fresh directory, ended (and cleaned up) with
// the test whatever happens.
struct RunningProgram {
    fs::path dir;
    pid_t pid = -1;
    i32 exitStatus = -1;

    bool Start() {
        char pattern[] = "/tmp/tessaform-e2e-XXXXXX";
        if (!mkdtemp(pattern)) return false;
        dir = pattern;
        fs::copy_file(TESSA_PROGRAM, dir / "tessaform");
        fs::create_directory_symlink(fs::path(TESSA_SOURCE_DIR) / "data", dir / "data");
        pid = fork();
        if (pid == 0) {
            if (chdir(dir.c_str()) != 0) _exit(127);
            execl((dir / "tessaform").c_str(), "tessaform", (char*)nullptr);
            _exit(127);
        }
        return pid > 0;
    }
    bool Exited(i32 timeoutMs) {
        return WaitUntil([&] {
            if (pid <= 0) return true;
            i32 status = 0;
            if (waitpid(pid, &status, WNOHANG) != pid) return false;
            exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            pid = -1;
            return true;
        }, timeoutMs);
    }
    ~RunningProgram() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        std::error_code ignored;
        if (!dir.empty()) fs::remove_all(dir, ignored);  // removes the data link, not the data
    }
};

// Window names are read straight from the X server: xdotool cannot read the
// UTF-8 names SDL gives its message boxes.
struct XConnection {
    Display* display = XOpenDisplay(nullptr);
    ~XConnection() {
        if (display) XCloseDisplay(display);
    }
};

std::string WindowName(Display* d, Window w) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string name;
    for (Atom property : {XInternAtom(d, "_NET_WM_NAME", False), (Atom)XA_WM_NAME}) {
        if (XGetWindowProperty(d, w, property, 0, 1024, False, AnyPropertyType, &type, &format,
                               &count, &after, &data) == Success && data) {
            if (format == 8) name.assign((char*)data, count);
            XFree(data);
            data = nullptr;
            if (!name.empty()) break;
        }
    }
    return name;
}

std::string WindowName(const std::string& id) {
    XConnection x;
    return x.display ? WindowName(x.display, (Window)std::stoul(id)) : "";
}

// The first top-level window whose name starts with the text, as a decimal id.
std::string FindNamedWindow(const std::string& prefix, i32 timeoutMs) {
    std::string found;
    WaitUntil([&] {
        XConnection x;
        if (!x.display) return false;
        Window root, parent, *children = nullptr;
        unsigned int count = 0;
        XQueryTree(x.display, DefaultRootWindow(x.display), &root, &parent, &children, &count);
        for (unsigned int i = 0; i < count && found.empty(); i++)
            if (WindowName(x.display, children[i]).rfind(prefix, 0) == 0)
                found = std::to_string(children[i]);
        if (children) XFree(children);
        return !found.empty();
    }, timeoutMs);
    return found;
}

// What the window manager sends when the user clicks the close button.
void RequestClose(const std::string& id) {
    XConnection x;
    if (!x.display) return;
    XEvent e = {};
    e.xclient.type = ClientMessage;
    e.xclient.window = (Window)std::stoul(id);
    e.xclient.message_type = XInternAtom(x.display, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = (long)XInternAtom(x.display, "WM_DELETE_WINDOW", False);
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(x.display, e.xclient.window, False, NoEventMask, &e);
    XFlush(x.display);
}

// The program's own window (the test binary has one of the same name).
std::string FindWindow(pid_t pid, const std::string& name) {
    return Output("timeout 20 xdotool search --all --sync --onlyvisible --pid " + std::to_string(pid) +
                  " --name '^" + name + "' | head -1");
}

i32 GeometryValue(const std::string& shell, const char* key) {
    size_t at = shell.find(std::string(key) + "=");
    return at == std::string::npos ? 0 : std::atoi(shell.c_str() + at + strlen(key) + 1);
}

// Holds a key for a few frames: the program reads held keys once per frame.
void HoldKey(const char* key) {
    Xdo(std::string("keydown ") + key);
    Sleep(250);
    Xdo(std::string("keyup ") + key);
}

}  // namespace

TEST(EndToEnd, LeftDragMarksTitleAndQuittingAsksBeforeLosingIt) {
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdotool missing";
    PrivateDisplay display;
    ASSERT_TRUE(display.Start()) << "no private X server (Xvfb)";
    RunningProgram program;
    ASSERT_TRUE(program.Start());
    std::string window = FindWindow(program.pid, "Tessaform alpha");
    ASSERT_FALSE(window.empty()) << "the program's window never appeared";
    ASSERT_TRUE(WaitUntil([&] { return WindowName(window) == "Tessaform alpha - Untitled  "; }, 10000))
        << "[" << WindowName(window) << "]";

    // 1. A left drag across the middle of the window, where the start sphere is.
    std::string geometry = Output("xdotool getwindowgeometry --shell " + window);
    i32 cx = GeometryValue(geometry, "WIDTH") / 2, cy = GeometryValue(geometry, "HEIGHT") / 2;
    ASSERT_GT(cx, 0) << geometry;
    Xdo("mousemove --window " + window + " " + std::to_string(cx) + " " + std::to_string(cy));
    Sleep(300);  // a few frames: the depth under the pointer is read from a drawn frame
    Xdo("mousedown 1");
    for (i32 step = 1; step <= 10; step++) {
        Xdo("mousemove --window " + window + " " + std::to_string(cx + 4 * step) + " " +
            std::to_string(cy + 2 * step));
        Sleep(40);
    }
    Xdo("mouseup 1");
    EXPECT_TRUE(WaitUntil([&] { return WindowName(window) == "Tessaform alpha - Untitled *"; }, 5000))
        << "[" << WindowName(window) << "]";

    // 2. Escape with unsaved changes asks; Cancel keeps the program running.
    Xdo("windowfocus --sync " + window);
    HoldKey("Escape");
    std::string box = FindNamedWindow("Confirm exit", 5000);
    ASSERT_FALSE(box.empty()) << "Escape with unsaved changes asked nothing";
    Xdo("key --window " + box + " Escape");
    EXPECT_FALSE(program.Exited(1500)) << "Cancel ended the program";
    EXPECT_EQ(WindowName(window), "Tessaform alpha - Untitled *");

    // 3. Closing the window asks the same; Cancel keeps it open.
    ASSERT_TRUE(WaitUntil([&] { return FindNamedWindow("Confirm exit", 0).empty(); }, 5000));
    RequestClose(window);
    box = FindNamedWindow("Confirm exit", 5000);
    ASSERT_FALSE(box.empty()) << "closing with unsaved changes asked nothing";
    Xdo("key --window " + box + " Escape");
    EXPECT_FALSE(program.Exited(1500)) << "Cancel closed the program";
    EXPECT_EQ(WindowName(window), "Tessaform alpha - Untitled *");

    // 4. Asked again, OK ends it cleanly.
    ASSERT_TRUE(WaitUntil([&] { return FindNamedWindow("Confirm exit", 0).empty(); }, 5000));
    RequestClose(window);
    box = FindNamedWindow("Confirm exit", 5000);
    ASSERT_FALSE(box.empty()) << "the second close asked nothing";
    Xdo("key --window " + box + " Return");
    ASSERT_TRUE(program.Exited(10000)) << "OK did not end the program";
    EXPECT_EQ(program.exitStatus, 0);
}
