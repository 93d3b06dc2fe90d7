// Open and save dialogs, and the message boxes SDL cannot show, through the
// desktop's dialog helper: zenity, else kdialog, started as a child with an
// argument vector (never a shell, since file names may hold any character)
// and read back through a pipe. Owns the per-kind remembered names. Neither
// helper present: logged, and the dialog answers "cancelled".
#include "platform/dialogs.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/log.h"
#include "base/services.h"

extern char** environ;

enum { KIND_COUNT = 2, NAME_BYTES = 512, OUTPUT_LIMIT = 8192 };

// Last full path chosen per kind (0 sculpture, 1 OBJ); a dialog opens on it.
static char rememberedName[KIND_COUNT][NAME_BYTES];

// Filter per kind: the label shown and the pattern.
static const char* const filterLabel[KIND_COUNT] = {"Sculpture files", "Wavefront OBJ files"};
static const char* const filterPattern[KIND_COUNT] = {"*.tf1", "*.obj"};

// ================================================================ [SECTION] child process

// Is there an executable of this name on PATH?
static bool OnPath(const char* program) {
    const char* path = getenv("PATH");
    if (!path || !*path) return false;
    char candidate[4096];
    for (const char* p = path;;) {
        const char* end = strchr(p, ':');
        size_t n = end ? (size_t)(end - p) : strlen(p);
        if (n == 0)
            snprintf(candidate, sizeof candidate, "./%s", program);
        else
            snprintf(candidate, sizeof candidate, "%.*s/%s", (int)n, p, program);
        struct stat st;
        if (stat(candidate, &st) == 0 && S_ISREG(st.st_mode) && access(candidate, X_OK) == 0)
            return true;
        if (!end) return false;
        p = end + 1;
    }
}

// Runs argv[0] with its stdout on a pipe; collects what it prints (at most
// OUTPUT_LIMIT bytes) and its exit status. False when it could not start.
static bool RunChild(char* const argv[], char* output, size_t outputSize, size_t& outputLength,
                     int& status) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    pid_t pid;
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        return false;
    }
    outputLength = 0;
    bool tooLong = false;
    for (;;) {
        char chunk[1024];
        ssize_t n = read(fds[0], chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        size_t room = outputSize - 1 - outputLength;
        size_t take = (size_t)n < room ? (size_t)n : room;
        memcpy(output + outputLength, chunk, take);
        outputLength += take;
        tooLong = tooLong || take < (size_t)n;  // keep draining so the child can exit
    }
    close(fds[0]);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    output[outputLength] = 0;
    if (tooLong) outputLength = outputSize;  // tells the caller the answer did not fit
    return true;
}

// ================================================================ [SECTION] argument vectors

struct ArgList {
    char* items[16];
    char storage[6][NAME_BYTES + 64];
    int count, stored;
    void Add(const char* text) { items[count++] = (char*)text; }
    // Formats into owned storage: the vector must outlive the spawn.
    void AddFormat(const char* format, const char* a, const char* b = "") {
        char* s = storage[stored++];
        snprintf(s, sizeof storage[0], format, a, b);
        Add(s);
    }
    void End() { items[count] = nullptr; }
};

static void ZenityArgs(ArgList& args, bool save, i32 kind, const char* title) {
    args.Add("zenity");
    args.Add("--file-selection");
    if (save) {
        args.Add("--save");
        args.Add("--confirm-overwrite");
    }
    args.AddFormat("--title=%s", title);
    if (kind >= 0 && kind < KIND_COUNT) {
        args.AddFormat("--file-filter=%s | %s", filterLabel[kind], filterPattern[kind]);
        if (rememberedName[kind][0]) args.AddFormat("--filename=%s", rememberedName[kind]);
    }
}

static void KdialogArgs(ArgList& args, bool save, i32 kind, const char* title) {
    args.Add("kdialog");
    args.Add("--title");
    args.Add(title);
    args.Add(save ? "--getsavefilename" : "--getopenfilename");
    bool known = kind >= 0 && kind < KIND_COUNT;
    args.Add(known && rememberedName[kind][0] ? rememberedName[kind] : ".");
    if (known) args.AddFormat("%s|%s", filterPattern[kind], filterLabel[kind]);
}

// ================================================================ [SECTION] dialogs

// A sculpture name typed without an extension gets ".tf1".
static bool AppendExtension(char* path, i32 size, i32 kind) {
    if (kind != 0) return true;
    const char* slash = strrchr(path, '/');
    const char* base = slash ? slash + 1 : path;
    const char* dot = strrchr(base, '.');
    if (dot && dot != base) return true;
    size_t n = strlen(path);
    if (n + 4 >= (size_t)size) return false;
    memcpy(path + n, ".tf1", 5);
    return true;
}

// The helper asked about overwriting the name it returned; a name we
// extended is another file, so that one is asked about here.
static bool ConfirmExtendedName(const char* chosen, const char* path) {
    if (strcmp(chosen, path) == 0 || access(path, F_OK) != 0) return true;
    char text[NAME_BYTES + 64];
    snprintf(text, sizeof text, "%s already exists.\nDo you want to replace it?", path);
    return ShowMessageBox(text, "Confirm Save As", MESSAGE_EXCLAMATION_OK_CANCEL);
}

// Runs the first helper present. Exit status 0 with a path = confirmed.
static bool RunHelper(bool save, i32 kind, const char* title, char* chosen, size_t chosenSize) {
    ArgList args{};
    if (OnPath("zenity"))
        ZenityArgs(args, save, kind, title);
    else if (OnPath("kdialog"))
        KdialogArgs(args, save, kind, title);
    else {
        LogBeginVerbose(0);
        LogPrint("*** no file dialog helper (zenity or kdialog) found, dialog cancelled");
        return false;
    }
    args.End();
    size_t length = 0;
    int status = 0;
    if (!RunChild(args.items, chosen, chosenSize, length, status)) {
        LogBeginVerbose(0);
        LogPrint("*** could not start %s (%s), dialog cancelled", args.items[0], strerror(errno));
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;  // 1 = the user cancelled
    if (length >= chosenSize) {
        LogBeginVerbose(0);
        LogPrint("*** chosen file name too long, dialog cancelled");
        return false;
    }
    if (length > 0 && chosen[length - 1] == '\n') chosen[--length] = 0;
    return length > 0;
}

// ================================================================ [SECTION] message boxes

// zenity and kdialog answer 0 for OK and 1 (or kdialog's 2) for Cancel or a
// closed box; any other status, a crash or a failed start means the box was
// never shown.
static bool RunMessageHelper(char* const argv[], bool* answer) {
    char output[256];
    size_t length = 0;
    int status = 0;
    if (!OnPath(argv[0]) || !RunChild(argv, output, sizeof output, length, status)) return false;
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 2) return false;
    *answer = WEXITSTATUS(status) == 0;
    return true;
}

bool HelperMessageBox(const char* text, const char* caption, MessageBoxKind kind, bool* answer) {
    const bool question = kind == MESSAGE_EXCLAMATION_OK_CANCEL;
    const char* zenityKind = question                   ? "--question"
                             : kind == MESSAGE_ERROR_OK ? "--error"
                                                        : "--warning";
    ArgList zenity{};
    zenity.Add("zenity");
    zenity.Add(zenityKind);
    zenity.Add("--no-markup");  // a file name may hold '<' or '&'
    // Separate values: no length limit, and nothing in them is parsed.
    zenity.Add("--title");
    zenity.Add(caption);
    zenity.Add("--text");
    zenity.Add(text);
    if (question) {
        zenity.Add("--ok-label=OK");
        zenity.Add("--cancel-label=Cancel");
    }
    zenity.End();
    if (RunMessageHelper(zenity.items, answer)) return true;
    const char* kdialogKind = question                   ? "--warningcontinuecancel"
                              : kind == MESSAGE_ERROR_OK ? "--error"
                                                         : "--sorry";
    char* const kdialog[] = {(char*)"kdialog",   (char*)"--title", (char*)caption,
                             (char*)kdialogKind, (char*)text,      nullptr};
    return RunMessageHelper(kdialog, answer);
}

static bool FileDialog(bool save, char* out, i32 outSize, i32 kind, const char* title) {
    if (!out || outSize <= 1) return false;
    if (!title) title = save ? "Save As" : "Open";
    char chosen[NAME_BYTES];
    if (!RunHelper(save, kind, title, chosen, sizeof chosen)) return false;
    // A name that does not fit is refused, never cut: a shortened path is another file.
    if ((i32)strlen(chosen) >= outSize) return false;
    snprintf(out, (size_t)outSize, "%s", chosen);
    if (save && !AppendExtension(out, outSize, kind)) return false;
    if (save && !ConfirmExtendedName(chosen, out)) return false;
    if (kind >= 0 && kind < KIND_COUNT) snprintf(rememberedName[kind], NAME_BYTES, "%s", out);
    return true;
}

static bool SaveDialog(char* out, i32 outSize, i32 kind, const char* title) {
    return FileDialog(true, out, outSize, kind, title);
}

static bool OpenDialog(char* out, i32 outSize, i32 kind, const char* title) {
    return FileDialog(false, out, outSize, kind, title);
}

void InstallFileDialogs() {
    SaveFileDialog = SaveDialog;
    OpenFileDialog = OpenDialog;
    ForgetDialogNames();
}

void ForgetDialogNames() {
    for (char* name : rememberedName) name[0] = 0;
}
