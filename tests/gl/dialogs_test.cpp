// File dialogs through a fake zenity or kdialog alone on PATH: the fake
// records the argument vector it was started with and prints the answer the
// test chose, so the exact arguments, the name handling, the names each
// kind remembers, cancelling and a missing helper are checked without a
// person at the screen.
#include "platform/dialogs.h"
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include "base/services.h"

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

namespace {

std::string asked;  // what the last question said

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / "tessa-dialogs-XXXXXX";
        ASSERT_TRUE(mkdtemp(dir.data()));
        setenv("FAKE_ARGS", (dir + "/args").c_str(), 1);
        for (const char* helper : {"zenity", "kdialog"}) {
            fs::create_directories(dir + "/" + helper);
            std::ofstream(dir + "/" + helper + "/" + helper)
                << "#!/bin/sh\n: > \"$FAKE_ARGS\"\n"
                   "for a in \"${0##*/}\" \"$@\"; do printf '%s\\0' \"$a\" >> \"$FAKE_ARGS\"; "
                   "done\n"
                   "[ -n \"$FAKE_ANSWER\" ] || exit 1\nprintf '%s\\n' \"$FAKE_ANSWER\"\n";
            fs::permissions(dir + "/" + helper + "/" + helper, fs::perms::owner_all);
        }
        savedBox = ShowMessageBox;
        ShowMessageBox = [](const char* text, const char* caption, MessageBoxKind) {
            asked = std::string(caption) + ": " + text;
            return false;
        };
        InstallFileDialogs();
        ForgetDialogNames();
    }
    void TearDown() override {
        setenv("PATH", oldPath.c_str(), 1);
        unsetenv("FAKE_ARGS");
        unsetenv("FAKE_ANSWER");
        ShowMessageBox = savedBox;
        ForgetDialogNames();
        fs::remove_all(dir);
    }
    // The helper's argument vector, its own name first.
    Args Recorded() const {
        std::ifstream in(dir + "/args", std::ios::binary);
        Args args;
        for (std::string a; std::getline(in, a, '\0');) args.push_back(a);
        return args;
    }
    std::string dir, oldPath = getenv("PATH") ? getenv("PATH") : "";
    bool (*savedBox)(const char*, const char*, MessageBoxKind);
};

}  // namespace

// One chain of dialogs: a row may rely on the names the rows before it left.
// "@" in a row stands for the test's folder.
TEST_F(Dialogs, ArgumentsNamesMemoryAndCancel) {
    struct Row {
        const char* name;
        const char* helper;  // the only one on PATH; "" for none
        bool save;
        i32 kind;  // 0 sculpture, 1 OBJ
        const char* title;
        const char* answer;  // what the helper prints; null: it exits 1, as on Cancel
        const char* out;     // what the caller gets; "unchanged": refused; null: not checked
        Args args;           // the helper's arguments; empty: not checked
        const char* question = "";
        i32 size = 512;
    };
    auto here = [&](std::string s) {
        for (size_t at; (at = s.find('@')) != std::string::npos;) s.replace(at, 1, dir);
        return s;
    };
    const std::string longName = "@/" + std::string(200, 'a') + ".tf1";
    const char* awkward = "@/my \"best\" $HOME; rm -rf x 'it'.tf1";
    const char* sculptureFilter = "--file-filter=Sculpture files | *.tf1";
    // clang-format off
    const Row rows[] = {
        {"kdialog when zenity is missing", "kdialog", false, 0, nullptr, "@/k.tf1", "@/k.tf1",
         {"kdialog", "--title", "Open", "--getopenfilename", ".", "*.tf1|Sculpture files"}},
        {"kdialog starts on the remembered name", "kdialog", true, 0, nullptr, "@/k.tf1", "@/k.tf1",
         {"kdialog", "--title", "Save As", "--getsavefilename", "@/k.tf1",
          "*.tf1|Sculpture files"}},
        {"names a shell would take apart", "zenity", true, 0, nullptr, awkward, awkward,
         {"zenity", "--file-selection", "--save", "--confirm-overwrite", "--title=Save As",
          sculptureFilter, "--filename=@/k.tf1"}},
        {"an OBJ kind with a title, and no name of its own yet", "zenity", false, 1, "Import",
         "@/in.obj", "@/in.obj",
         {"zenity", "--file-selection", "--title=Import",
          "--file-filter=Wavefront OBJ files | *.obj"}},
        {"open takes the name as chosen", "zenity", false, 0, nullptr, "@/head", "@/head",
         {"zenity", "--file-selection", "--title=Open", sculptureFilter, "--filename=" + here(awkward)}},
        {"save adds the extension", "zenity", true, 0, nullptr, "@/head", "@/head.tf1", {}},
        {"a dot in a folder is no extension", "zenity", true, 0, nullptr, "@/v1.2/head",
         "@/v1.2/head.tf1", {}},
        {"a name's own extension stays", "zenity", true, 0, nullptr, "@/v1.2/head.old",
         "@/v1.2/head.old", {}},
        {"OBJ names get no extension", "zenity", true, 1, "Export", "@/out", "@/out", {}},
        {"an extended name that exists is another file: asked about", "zenity", true, 0, nullptr,
         "@/old", nullptr, {},
         "Confirm Save As: @/old.tf1 already exists.\nDo you want to replace it?"},
        {"cancel", "zenity", true, 0, nullptr, nullptr, "unchanged", {}},
        {"cancel and refusal keep the remembered name", "zenity", false, 0, nullptr, "@/x.tf1",
         "@/x.tf1",
         {"zenity", "--file-selection", "--title=Open", sculptureFilter, "--filename=@/v1.2/head.old"}},
        {"a name longer than the buffer is refused, not cut", "zenity", false, 0, nullptr,
         longName.c_str(), "unchanged", {}, "", 64},
        {"no helper at all: cancelled", "", true, 0, nullptr, "@/never.tf1", "unchanged", {}},
        {"no helper, any kind", "", false, 1, nullptr, "@/never.obj", "unchanged", {}},
    };
    // clang-format on
    std::ofstream(dir + "/old.tf1") << "an earlier sculpture";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        setenv("PATH", (dir + "/" + row.helper).c_str(), 1);
        if (row.answer) setenv("FAKE_ANSWER", here(row.answer).c_str(), 1);
        if (!row.answer) unsetenv("FAKE_ANSWER");
        fs::remove(dir + "/args");
        asked.clear();
        char out[512] = "unchanged";
        auto dialog = row.save ? SaveFileDialog : OpenFileDialog;
        bool ok = row.out && std::string(row.out) != "unchanged";
        EXPECT_EQ(dialog(out, row.size, row.kind, row.title), ok);
        if (row.out) { EXPECT_EQ(std::string(out), here(row.out)); }
        EXPECT_EQ(asked, here(row.question));
        Args expected;
        for (const std::string& a : row.args) expected.push_back(here(a));
        if (!row.args.empty()) { EXPECT_EQ(Recorded(), expected); }
    }
}
