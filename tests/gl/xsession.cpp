#include "xsession.h"
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>
// Last: Xlib's macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

extern char** environ;

namespace fs = std::filesystem;

// ---- commands and waiting

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

bool HaveXdotool() { return std::system("command -v xdotool >/dev/null 2>&1") == 0; }

void Sleep(i32 ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// ---- a private X server

bool PrivateDisplay::Start() {
    int fds[2];
    if (pipe(fds) != 0) return false;
    // Everything the child needs is made before the fork: the test process
    // has worker threads, and a forked child may only exec.
    std::string fd = std::to_string(fds[1]);
    pid = fork();
    if (pid == 0) {
        close(fds[0]);
        // No reset when the last client leaves: the helpers below connect
        // and disconnect often, before and between runs of the program.
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
               "-nolisten", "tcp", "-noreset", (char*)nullptr);
        _exit(127);
    }
    close(fds[1]);
    // The server writes its number once it takes connections. Read through
    // the newline: closing the pipe after the digits alone would make the
    // server's second write fail, and it would exit.
    std::string number;
    char c;
    while (pid > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) return false;  // no Xvfb, or it never told its number
    if (const char* d = getenv("DISPLAY")) previous = d;
    hadPrevious = getenv("DISPLAY") != nullptr;
    setenv("DISPLAY", (":" + number).c_str(), 1);
    inUse = true;
    return true;
}

PrivateDisplay::~PrivateDisplay() {
    if (inUse) {
        if (hadPrevious)
            setenv("DISPLAY", previous.c_str(), 1);
        else
            unsetenv("DISPLAY");
    }
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}

// ---- the program

bool RunningProgram::Prepare() {
    std::string pattern = std::string(testing::TempDir()) + "tessaform_XXXXXX";
    if (!mkdtemp(pattern.data())) return false;
    dir = work = pattern;
    std::error_code error;
    fs::copy_file(TESSA_PROGRAM, dir / "tessaform", error);
    if (!error)
        fs::create_directory_symlink(fs::path(TESSA_SOURCE_DIR) / "data", dir / "data", error);
    if (!error)
        fs::copy_file(fs::path(TESSA_SOURCE_DIR) / "data" / "icon-16.ico", dir / "icon-16.ico",
                      error);
    return !error;
}

bool RunningProgram::Start() {
    if (dir.empty() && !Prepare()) return false;
    if (pid > 0) return false;  // one copy at a time
    // The environment is built before the fork: the test process has worker
    // threads, and a forked child may only exec.
    std::vector<std::string> entries;
    for (char** e = environ; *e; e++) {
        std::string entry = *e;
        std::string key = entry.substr(0, entry.find('='));
        if (std::none_of(environment.begin(), environment.end(),
                         [&](const auto& kv) { return kv.first == key; }))
            entries.push_back(entry);
    }
    for (const auto& [key, value] : environment) entries.push_back(key + "=" + value);
    std::vector<char*> envp;
    for (std::string& entry : entries) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = (dir / "tessaform").string(), where = work.string();
    char name[] = "tessaform";
    char* argv[] = {name, nullptr};
    pid = fork();
    if (pid == 0) {
        if (chdir(where.c_str()) != 0) _exit(126);
        execve(program.c_str(), argv, envp.data());
        _exit(127);
    }
    return pid > 0;
}

bool RunningProgram::Exited(i32 timeoutMs) {
    return WaitUntil(
        [&] {
            if (pid <= 0) return true;
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) != pid) return false;
            exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            pid = -1;
            return true;
        },
        timeoutMs, 10);
}

RunningProgram::~RunningProgram() {
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    std::error_code ignored;
    if (!dir.empty()) fs::remove_all(dir, ignored);  // removes the data link, not the data
}

// ---- windows

namespace {

int IgnoreXError(Display*, XErrorEvent*) { return 0; }

// A connection to the test's display. A window may vanish between listing
// and reading it (a message box closing): such errors are ignored instead
// of ending the test process, and only while this connection is open.
struct XConnection {
    Display* display = XOpenDisplay(nullptr);
    XErrorHandler previous = XSetErrorHandler(IgnoreXError);
    ~XConnection() {
        if (display) {
            XSync(display, False);
            XCloseDisplay(display);
        }
        XSetErrorHandler(previous);
    }
};

std::string NameOf(Display* d, Window w) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string name;
    for (Atom property : {XInternAtom(d, "_NET_WM_NAME", False), (Atom)XA_WM_NAME}) {
        if (XGetWindowProperty(d, w, property, 0, 1024, False, AnyPropertyType, &type, &format,
                               &count, &after, &data) == Success &&
            data) {
            if (format == 8) name.assign((char*)data, count);
            XFree(data);
            data = nullptr;
            if (!name.empty()) break;
        }
    }
    return name;
}

pid_t PidOf(Display* d, Window w) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    pid_t pid = -1;
    if (XGetWindowProperty(d, w, XInternAtom(d, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL,
                           &type, &format, &count, &after, &data) == Success &&
        data) {
        if (count == 1 && format == 32) pid = (pid_t) * (unsigned long*)data;
        XFree(data);
    }
    return pid;
}

bool Viewable(Display* d, Window w) {
    XWindowAttributes a;
    return XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable;
}

bool StartsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

// Depth first through the window tree: the first window that fits.
template <typename Fits>
Window FindIn(Display* d, Window w, Fits fits, bool descend) {
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(d, w, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; i++) {
            if (fits(children[i]))
                found = children[i];
            else if (descend)
                found = FindIn(d, children[i], fits, descend);
        }
        if (children) XFree(children);
    }
    return found;
}

}  // namespace

WindowId FindProgramWindow(pid_t pid, const std::string& prefix, i32 timeoutMs) {
    Window found = 0;
    WaitUntil(
        [&] {
            XConnection x;
            if (!x.display) return false;
            found = FindIn(
                x.display, DefaultRootWindow(x.display),
                [&](Window w) {
                    return StartsWith(NameOf(x.display, w), prefix) && PidOf(x.display, w) == pid &&
                           Viewable(x.display, w);
                },
                true);
            return found != 0;
        },
        timeoutMs);
    return found;
}

WindowId FindNamedWindow(const std::string& prefix, i32 timeoutMs) {
    Window found = 0;
    WaitUntil(
        [&] {
            XConnection x;
            if (!x.display) return false;
            found = FindIn(
                x.display, DefaultRootWindow(x.display),
                [&](Window w) { return StartsWith(NameOf(x.display, w), prefix); }, false);
            return found != 0;
        },
        timeoutMs);
    return found;
}

std::string WindowName(WindowId window) {
    XConnection x;
    return x.display ? NameOf(x.display, window) : "";
}

WindowSize SizeOf(WindowId window) {
    XConnection x;
    XWindowAttributes a;
    if (!x.display || !XGetWindowAttributes(x.display, window, &a)) return {};
    return {a.width, a.height};
}

Picture GrabWindow(WindowId window) {
    XConnection x;
    Picture p;
    XWindowAttributes a;
    if (!x.display || !XGetWindowAttributes(x.display, window, &a)) return p;
    XImage* img = XGetImage(x.display, window, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (!img) return p;
    p.width = a.width;
    p.height = a.height;
    p.rgba.resize((size_t)a.width * a.height * 4);
    for (i32 y = 0; y < a.height; y++)
        for (i32 xx = 0; xx < a.width; xx++) {
            unsigned long px = XGetPixel(img, xx, y);
            u8* o = &p.rgba[((size_t)y * a.width + xx) * 4];
            o[0] = (u8)((px & img->red_mask) >> 16);
            o[1] = (u8)((px & img->green_mask) >> 8);
            o[2] = (u8)(px & img->blue_mask);
            o[3] = 255;
        }
    XDestroyImage(img);
    return p;
}

void RequestClose(WindowId window) {
    XConnection x;
    if (!x.display) return;
    XEvent e = {};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(x.display, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = (long)XInternAtom(x.display, "WM_DELETE_WINDOW", False);
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(x.display, window, False, NoEventMask, &e);
    XFlush(x.display);
}

// ---- input

void HoldKeys(WindowId window, const std::string& keys) {
    Xdo("windowfocus --sync " + std::to_string(window));
    Xdo("keydown " + keys);
    Sleep(300);
    Xdo("keyup " + keys);
    Sleep(200);
}

void DragAcrossTheMiddle(WindowId window) {
    std::string id = std::to_string(window);
    WindowSize size = SizeOf(window);
    i32 cx = size.width / 2, cy = size.height / 2;
    Xdo("mousemove --window " + id + " " + std::to_string(cx) + " " + std::to_string(cy));
    Sleep(300);  // a few frames: the depth under the pointer is read from a drawn frame
    Xdo("mousedown 1");
    for (i32 step = 1; step <= 10; step++) {
        Xdo("mousemove --window " + id + " " + std::to_string(cx + 4 * step) + " " +
            std::to_string(cy + 2 * step));
        Sleep(40);
    }
    Xdo("mouseup 1");
}
