// The real program, started three times from one temporary copy of its
// directory on an X server of its own (a developer's desktop, or another
// test under ctest -j, can neither take the focus nor catch the input),
// and driven through XTest as a user would. A fake zenity first on PATH
// answers the file dialogs with the name the test wrote into a file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
#include "app/config.h"
#include "base/base.h"
#include "base/settings.h"
// Last: Xlib's macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Reads a little-endian value of the sculpture file.
template <typename T>
T Get(const std::string& file, size_t at) {
    T v;
    memcpy(&v, &file[at], sizeof v);
    return v;
}

// Largest coordinate difference between two sculpture files with the same
// counts (9 header bytes, then 17 per vertex, x y z first); infinity when
// the counts differ.
f32 Difference(const std::string& a, const std::string& b) {
    if (a.size() < 9 || a.size() != b.size() || a.compare(0, 8, b, 0, 8) != 0) return INFINITY;
    f32 largest = 0;
    for (size_t at = 9; at < 9 + 17 * (size_t)Get<u32>(a, 0); at += 17)
        for (size_t k = at; k < at + 12; k += 4)
            largest = std::max(largest, std::fabs(Get<f32>(a, k) - Get<f32>(b, k)));
    return largest;
}

// Polls until done() holds or timeoutMs have passed; true when it held.
template <typename Predicate>
bool WaitUntil(Predicate done, i32 timeoutMs, i32 pollMs = 50) {
    using ms = std::chrono::milliseconds;
    auto end = std::chrono::steady_clock::now() + ms(timeoutMs);
    for (; !done(); std::this_thread::sleep_for(ms(pollMs)))
        if (std::chrono::steady_clock::now() > end) return false;
    return true;
}

void Xdo(const std::string& arguments) {
    std::string command = "xdotool " + arguments + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

// A window may vanish between listing and reading it (a message box
// closing): the error is ignored instead of ending the test process.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

// The private X server, the program's directory (a copy of the program and
// its icon, a link to the shipped data, the fake dialog) and the program
// running there, in dir/work: what it deletes in the working directory and
// what it deletes in its own can be told apart. The end kills what runs.
struct Session {
    fs::path dir;
    pid_t program = -1, server = -1;
    Display* x = nullptr;
    XErrorHandler oldHandler = nullptr;
    std::string oldDisplay = getenv("DISPLAY") ? getenv("DISPLAY") : "";
    std::string oldPath = getenv("PATH") ? getenv("PATH") : "";

    // Without core fonts (a bare server, as on a fresh machine) SDL cannot
    // draw its message boxes, and the real zenity must show them instead.
    bool Start(bool coreFonts = true) {
        int fds[2];
        std::string pattern = std::string(testing::TempDir()) + "tessaform_XXXXXX";
        if (pipe(fds) != 0 || !mkdtemp(pattern.data())) return false;
        dir = pattern;
        std::string fd = std::to_string(fds[1]);  // before the fork: the child may only exec
        server = fork();
        if (server == 0) {
            // No reset when the last client leaves: the program comes and goes.
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                   "-nolisten", "tcp", "-noreset", coreFonts ? nullptr : "-fp",
                   "built-ins",  // null ends the list
                   (char*)nullptr);
            _exit(127);
        }
        close(fds[1]);
        // The server writes its number once it takes connections. Read through
        // the newline: closing the pipe earlier would make the server exit.
        std::string number;
        for (char c; server > 0 && read(fds[0], &c, 1) == 1 && c != '\n';) number += c;
        close(fds[0]);
        if (number.empty()) return false;  // no Xvfb, or it never told its number
        setenv("DISPLAY", (":" + number).c_str(), 1);
        setenv("PATH", ((dir / "bin").string() + ":" + oldPath).c_str(), 1);
        setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
        x = XOpenDisplay(nullptr);
        oldHandler = XSetErrorHandler(IgnoreXError);
        // Failures here throw, and fail the test.
        fs::path data = fs::path(TESSA_SOURCE_DIR) / "data";
        fs::copy_file(TESSA_PROGRAM, dir / "tessaform");
        fs::copy_file(data / "icon-16.ico", dir / "icon-16.ico");
        fs::create_directory_symlink(data, dir / "data");
        fs::create_directories(dir / "work");
        fs::create_directories(dir / "bin");
        // File dialogs answer from the file; message boxes go to the real zenity.
        std::ofstream(dir / "bin/zenity")
            << "#!/bin/sh\n[ \"$1\" = --file-selection ] && exec cat '" << (dir / "answer").string()
            << "'\nPATH=${PATH#*:} exec zenity \"$@\"\n";
        fs::permissions(dir / "bin/zenity", fs::perms::owner_all);
        return x != nullptr;
    }

    ~Session() {
        if (x) XCloseDisplay(x);
        XSetErrorHandler(oldHandler);
        for (auto [pid, signal] : {std::pair{program, SIGKILL}, {server, SIGTERM}})
            if (pid > 0 && kill(pid, signal) == 0) waitpid(pid, nullptr, 0);
        setenv("DISPLAY", oldDisplay.c_str(), 1);
        setenv("PATH", oldPath.c_str(), 1);
        unsetenv("XDG_STATE_HOME");
        std::error_code ignored;
        fs::remove_all(dir, ignored);  // removes the data link, not the data
    }

    // The copy in dir, or the given command line, started in dir/work.
    bool StartProgram(std::vector<std::string> args = {}) {
        if (args.empty()) args = {(dir / "tessaform").string()};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::string work = (dir / "work").string();
        program = fork();
        if (program == 0) {
            if (chdir(work.c_str()) == 0) execv(argv[0], argv.data());
            _exit(127);
        }
        return program > 0;
    }

    // The exit code of the program (128 + signal when one ended it), or -1
    // while it still runs after timeoutMs.
    i32 ExitStatus(i32 timeoutMs) {
        int status = 0;
        if (program <= 0 ||
            !WaitUntil([&] { return waitpid(program, &status, WNOHANG) == program; }, timeoutMs,
                       10))
            return -1;
        program = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // The crash marker changes within a few frames of a start: look often.
    std::string Marker() { return Read(dir / "_startup_recover.dat"); }
    bool MarkerBecomes(const char* value) {
        return WaitUntil([&] { return Marker() == value; }, 30000, 2);
    }

    // The UTF-8 name SDL gives its windows and message boxes (xdotool reads
    // only the older name, which the boxes lack as plain text).
    std::string Name(Window w) {
        XTextProperty p = {};
        XGetTextProperty(x, w, &p, XInternAtom(x, "_NET_WM_NAME", False));
        std::string name(p.value ? (const char*)p.value : "", p.nitems);
        if (p.value) XFree(p.value);
        return name;
    }

    // A shown top-level window whose name starts with the text (the program's
    // window or one of its message boxes); timeout 0 asks about now.
    Window Find(const std::string& prefix, i32 timeoutMs) {
        Window found = 0;
        WaitUntil(
            [&] {
                Window root, parent, *children = nullptr;
                unsigned count = 0;
                XWindowAttributes a;
                XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count);
                for (unsigned i = 0; i < count && !found; i++)
                    if (Name(children[i]).rfind(prefix, 0) == 0 &&
                        XGetWindowAttributes(x, children[i], &a) && a.map_state == IsViewable)
                        found = children[i];
                if (children) XFree(children);
                return found != 0;
            },
            timeoutMs);
        return found;
    }

    // Answers the message box of this caption (an SDL box, or zenity's) with a key.
    void Answer(const char* caption, const char* key) {
        Window box = Find(caption, 30000);
        ASSERT_NE(box, 0u) << caption << " never reached the user";
        Xdo("windowfocus --sync " + std::to_string(box) + " key " + key);
        ASSERT_TRUE(WaitUntil([&] { return Find(caption, 0) == 0; }, 5000));
    }

    // What the window shows: its size, and red + green + blue of a pixel.
    std::pair<i32, i32> Size(Window w) {
        XWindowAttributes a = {};
        XGetWindowAttributes(x, w, &a);
        return {a.width, a.height};
    }
    i32 Brightness(Window w, i32 px, i32 py) {
        XImage* image = XGetImage(x, w, px, py, 1, 1, AllPlanes, ZPixmap);
        if (!image) return -1;
        unsigned long c = XGetPixel(image, 0, 0);  // the server's 24-bit TrueColor
        XDestroyImage(image);
        return (i32)((c >> 16 & 255) + (c >> 8 & 255) + (c & 255));
    }

    // What the window manager sends when the user clicks the close button.
    void RequestClose(Window w) {
        XEvent e = {.xclient = {.type = ClientMessage, .window = w, .format = 32}};
        e.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
        e.xclient.data.l[0] = (long)XInternAtom(x, "WM_DELETE_WINDOW", False);
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(x, w, False, NoEventMask, &e);
        XFlush(x);
    }
};

}  // namespace

TEST(Program, CrashMarkerWindowTitleDialogsAndQuitting) {
    Session s;
    ASSERT_TRUE(s.Start()) << "no private X server (Xvfb)";
    const fs::path work = s.dir / "work", restore = s.dir / "_restore.tf1";
    const fs::path first = s.dir / "first \"sculpt\" $x; y.tf1";
    auto touch = [](const fs::path& p) { std::ofstream(p) << "restore"; };
    Window window = 0;
    std::string id;
    auto titleBecomes = [&](const std::string& name, const char* mark) {
        std::string title = "Tessaform alpha - " + name + " " + mark;
        bool done = WaitUntil([&] { return s.Name(window) == title; }, 10000);
        EXPECT_TRUE(done) << "[" << s.Name(window) << "] is not [" << title << "]";
        return done;
    };
    // Presses and releases the keys at once (between two frames, which must
    // still count); the dialog they open answers with the path. True once the
    // title shows the file name, unmodified.
    auto command = [&](const std::string& keys, const fs::path& answer, const std::string& name) {
        std::ofstream(s.dir / "answer") << answer.string() << "\n";
        Xdo("windowfocus --sync " + id + " key --delay 0 " + keys);  // within one frame
        return titleBecomes(name, " ");
    };
    // A short left-button drag from the middle, over the sphere (the pointer
    // rests first: the depth under it is read from a drawn frame). True once
    // the title marks the work unsaved.
    auto drag = [&](const std::string& name) {
        std::string steps = " mousemove --window " + id + " 475 325 sleep 0.3 mousedown 1";
        for (i32 i = 1; i <= 10; i++)
            steps += " mousemove --window " + id + " " + std::to_string(475 + 4 * i) + " " +
                     std::to_string(325 + 2 * i) + " sleep 0.04";
        Xdo(steps + " mouseup 1");
        return titleBecomes(name, "*");
    };
    // A press and release on a panel button, a few frames apart.
    auto clickButton = [&](i32 x, i32 y) {
        Xdo("mousemove --window " + id + " " + std::to_string(x) + " " + std::to_string(y) +
            " sleep 0.3 mousedown 1 sleep 0.2 mouseup 1 sleep 0.5");
    };
    // Brightness of a patch in the middle of the sphere, every other pixel.
    auto patch = [&] {
        std::vector<i32> v;
        for (i32 y = 305; y < 345; y += 2)
            for (i32 x = 455; x < 495; x += 2) v.push_back(s.Brightness(window, x, y));
        return v;
    };
    auto changed = [](const std::vector<i32>& a, const std::vector<i32>& b) {
        i32 n = 0;
        for (size_t i = 0; i < a.size(); i++) n += std::abs(a[i] - b[i]) > 30;
        return n;
    };

    // 1. A start stopped (SIGTERM) before its twentieth frame leaves "1";
    // SIGTERM still runs the shutdown, which deletes the restore file.
    touch(restore);
    ASSERT_TRUE(s.StartProgram());
    ASSERT_TRUE(s.MarkerBecomes("1"));
    kill(s.program, SIGTERM);
    EXPECT_EQ(s.ExitStatus(20000), 0);
    ASSERT_EQ(s.Marker(), "1") << "ended before its twentieth frame";
    EXPECT_FALSE(fs::exists(restore)) << "the shutdown deletes the restore file";

    // 2. The next start finds "1": the restore file of that start is suspect.
    touch(restore);
    ASSERT_TRUE(s.StartProgram());
    EXPECT_TRUE(WaitUntil([&] { return !fs::exists(restore); }, 30000, 2))
        << "a restore file left by a start that never ran twenty frames is suspect";
    ASSERT_TRUE(s.MarkerBecomes("0")) << "twenty frames ran";
    window = s.Find("Tessaform alpha", 5000);
    id = std::to_string(window);
    ASSERT_NE(window, 0u) << "the program's window never appeared";
    ASSERT_TRUE(titleBecomes("Untitled", " "));
    EXPECT_EQ(s.Size(window), std::pair(950, 650));
    EXPECT_TRUE(WaitUntil([&] { return s.Brightness(window, 475, 325) > 3 * 120; }, 5000))
        << "the lit sphere: " << s.Brightness(window, 475, 325);
    EXPECT_LT(s.Brightness(window, 3, 3), 3 * 80) << "the dark backdrop corner";

    // A stroke marks the title; Escape and the close button then ask, and
    // Cancel keeps the program and the work.
    ASSERT_TRUE(drag("Untitled"));
    // The panel works without knowing a key: NEW PLANE over unsaved work
    // asks first, and WIREFRAME switches the edges over the sphere on and off.
    clickButton(70, 210);
    ASSERT_NO_FATAL_FAILURE(s.Answer("Confirm new", "Escape"));
    Xdo("mousemove --window " + id + " 10 255 sleep 0.5");  // over the panel: no brush ring
    std::vector<i32> plain = patch();
    clickButton(70, 170);
    std::vector<i32> wired = patch();
    EXPECT_GE(changed(plain, wired), 20) << "WIREFRAME drew no edges";
    clickButton(70, 170);
    EXPECT_LT(changed(plain, patch()), changed(plain, wired) / 4) << "a second click kept them";
    Xdo("windowfocus --sync " + id + " key --delay 0 Escape");
    ASSERT_NO_FATAL_FAILURE(s.Answer("Confirm exit", "Escape"));
    EXPECT_EQ(s.ExitStatus(1500), -1) << "Cancel ended the program";
    s.RequestClose(window);
    ASSERT_NO_FATAL_FAILURE(s.Answer("Confirm exit", "Escape"));
    EXPECT_EQ(s.ExitStatus(1500), -1) << "Cancel closed the program";
    EXPECT_TRUE(titleBecomes("Untitled", "*"));

    // Ctrl+S on an untitled sculpture asks for a name, which gets its
    // extension; the file holds what its counts say.
    ASSERT_TRUE(command("ctrl+s", first.parent_path() / first.stem(), first.filename()));
    std::string saved = Read(first);
    ASSERT_GE(saved.size(), 9u);
    EXPECT_EQ(saved.size(), 9 + 17 * (size_t)Get<u32>(saved, 0) + 12 * (size_t)Get<u32>(saved, 4));

    // Sculpt with GRAB (g) and save under another name; open the first file
    // and save what was opened once more: the opened sculpture is the saved one.
    Xdo("windowfocus --sync " + id + " keydown g sleep 0.3 keyup g");
    ASSERT_TRUE(drag(first.filename()));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the mesh settles
    ASSERT_TRUE(command("ctrl+shift+s", s.dir / "sculpted.tf1", "sculpted.tf1"));
    ASSERT_TRUE(command("ctrl+o", first, first.filename()));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_TRUE(command("ctrl+shift+s", s.dir / "reopened.tf1", "reopened.tf1"));
    // Relaxation after opening may slide vertices a little; the stroke moved
    // them further or changed the counts.
    f32 back = Difference(saved, Read(s.dir / "reopened.tf1"));
    f32 stroke = Difference(saved, Read(s.dir / "sculpted.tf1"));
    EXPECT_LT(back, 0.5f) << "the opened sculpture is not the saved one";
    EXPECT_GT(stroke, 4 * back) << "the stroke changed nothing, so the test proves nothing";

    // Asked again over unsaved work, OK ends the program through its shutdown.
    ASSERT_TRUE(drag("reopened.tf1"));
    touch(restore);
    s.RequestClose(window);
    ASSERT_NO_FATAL_FAILURE(s.Answer("Confirm exit", "Return"));
    EXPECT_EQ(s.ExitStatus(20000), 0);
    EXPECT_EQ(s.Marker(), "0");
    EXPECT_FALSE(fs::exists(restore)) << "the shutdown deletes the restore file";

    // 3. After a clean run the restore file stays; with nothing unsaved the
    // close button ends the program without asking.
    touch(work / "_restore.tf1");
    ASSERT_TRUE(s.StartProgram());
    ASSERT_TRUE(s.MarkerBecomes("1"));
    EXPECT_TRUE(fs::exists(work / "_restore.tf1"));
    window = s.Find("Tessaform alpha", 20000);
    ASSERT_NE(window, 0u);
    s.RequestClose(window);
    EXPECT_EQ(s.ExitStatus(20000), 0);
}

// Installed into a temporary prefix and started by its menu entry's Exec
// line with a missing file, on a display without core fonts (where SDL
// cannot draw a message box): the error and the questions still reach the
// user, quick clicks and keys count, and the user's files go to the XDG
// folder, none into the prefix.
TEST(Program, InstalledCopyOnABareDisplay) {
    Session s;
    ASSERT_TRUE(s.Start(false)) << "no private X server (Xvfb)";
    const fs::path prefix = s.dir / "prefix", state = s.dir / "state/tessaform";
    std::string install = "cmake --install '" TESSA_BINARY_DIR "' --prefix '" + prefix.string();
    ASSERT_EQ(std::system((install + "' >/dev/null").c_str()), 0);
    auto listing = [&] {
        std::set<fs::path> files;
        for (const auto& file : fs::recursive_directory_iterator(prefix)) files.insert(file.path());
        return files;
    };
    const std::set<fs::path> installed = listing();
    std::vector<std::string> exec;
    std::istringstream entry(Read(prefix / "share/applications/tessaform.desktop"));
    for (std::string line; std::getline(entry, line);)
        if (line.rfind("Exec=", 0) == 0)
            for (std::istringstream words(line.substr(5)); words >> line;)
                exec.push_back(line == "%f" ? (s.dir / "missing.tf1").string() : line);
    ASSERT_TRUE(s.StartProgram(exec));
    ASSERT_NO_FATAL_FAILURE(s.Answer("Error", "Return"));
    Window window = s.Find("Tessaform alpha - Untitled  ", 10000);
    ASSERT_NE(window, 0u) << "the start sphere did not stay";
    std::string id = std::to_string(window);
    Xdo("mousemove --window " + id + " 475 325 sleep 0.5 click 1");  // down and up at once
    EXPECT_NE(s.Find("Tessaform alpha - Untitled *", 10000), 0u) << "the click did not sculpt";
    Xdo("windowfocus --sync " + id + " key --delay 0 Escape");
    ASSERT_NO_FATAL_FAILURE(s.Answer("Confirm exit", "Escape"));
    EXPECT_EQ(s.ExitStatus(1500), -1) << "Cancel ended the program";
    s.RequestClose(window);
    ASSERT_NO_FATAL_FAILURE(s.Answer("Confirm exit", "Return"));
    EXPECT_EQ(s.ExitStatus(20000), 0);
    EXPECT_NE(Read(state / "log.txt").find("Could not open the file."), std::string::npos);
    EXPECT_EQ(Read(state / "_startup_recover.dat"), "0");
    EXPECT_EQ(listing(), installed) << "the program wrote into its prefix";
}

// Sculpt, let the autosave write the restore file (every second here), kill
// the program, start it again and answer OK: the sculpture is the one the
// killed program held, untitled and unsaved.
TEST(Program, AutosaveRecoversTheSculptureAfterAKill) {
    Session s;
    ASSERT_TRUE(s.Start()) << "no private X server (Xvfb)";
    autosaveSeconds = 1;  // the program reads it from config.txt
    ASSERT_TRUE(WriteConfig((s.dir / "config.txt").c_str()));
    autosaveSeconds = 60;
    const fs::path restore = s.dir / "_restore.tf1", saved = s.dir / "recovered.tf1";
    ASSERT_TRUE(s.StartProgram());
    ASSERT_TRUE(s.MarkerBecomes("0"));
    Window window = s.Find("Tessaform alpha", 5000);
    ASSERT_NE(window, 0u);
    std::string id = std::to_string(window), steps = " mousemove --window " + id + " 475 325";
    for (i32 i = 1; i <= 10; i++)
        steps += (i == 1 ? " sleep 0.3 mousedown 1" : "") + std::string(" mousemove --window ") +
                 id + " " + std::to_string(475 + 4 * i) + " 325 sleep 0.04";
    Xdo(steps + " mouseup 1");
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(restore); }, 20000)) << "no autosave";
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));  // nothing more to write
    std::string before = Read(restore);
    ASSERT_GE(before.size(), 9u);
    kill(s.program, SIGKILL);
    EXPECT_EQ(s.ExitStatus(5000), 128 + SIGKILL);

    ASSERT_TRUE(s.StartProgram());
    Window box = s.Find("Recover", 20000);
    ASSERT_NE(box, 0u) << "the restore file was not offered";
    Xdo("key --window " + std::to_string(box) + " Return");
    window = s.Find("Tessaform alpha - Untitled *", 20000);
    ASSERT_NE(window, 0u) << "the recovered sculpture is not an unsaved, untitled one";
    std::ofstream(s.dir / "answer") << saved.string() << "\n";
    id = std::to_string(window);
    Xdo("windowfocus --sync " + id + " keydown ctrl+s sleep 0.3 keyup ctrl+s");
    EXPECT_TRUE(WaitUntil([&] { return fs::exists(saved); }, 10000));
    EXPECT_TRUE(Read(saved) == before) << "the recovered sculpture differs";
    EXPECT_TRUE(WaitUntil([&] { return !fs::exists(restore); }, 5000))
        << "a saved sculpture keeps no restore file";
    s.RequestClose(window);
    EXPECT_EQ(s.ExitStatus(20000), 0);
}

// The X server going away (a session ending, a crashed server) ends the
// program with a log line and exit status 1, not an abort: the crash marker
// and any restore file stay for the next start.
TEST(Program, LosingTheDisplayEndsCleanlyWithALogLine) {
    Session s;
    ASSERT_TRUE(s.Start()) << "no private X server (Xvfb)";
    ASSERT_TRUE(s.StartProgram());
    ASSERT_TRUE(s.MarkerBecomes("0"));
    s.x = nullptr;  // this test's own connection dies with the server: never touch it again
    kill(s.server, SIGTERM);
    waitpid(s.server, nullptr, 0);
    s.server = -1;
    EXPECT_EQ(s.ExitStatus(10000), 1);
    EXPECT_NE(Read(s.dir / "log.txt").find("*** lost the connection to the X display"),
              std::string::npos);
}
