// File dialogs through a fake zenity (and kdialog) first on PATH: the fake
// records the argument vector it was started with and prints the answer the
// test chose, so the exact arguments, the name handling, cancelling and a
// missing helper are checked without a person at the screen.
#include "platform/dialogs.h"
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>
#include "base/services.h"

namespace {

const char* const FAKE_HELPER =
    "#!/bin/sh\n"
    ": > \"$FAKE_ARGS\"\n"
    "for a in \"$0\" \"$@\"; do printf '%s\\0' \"$a\" >> \"$FAKE_ARGS\"; done\n"
    "[ -n \"$FAKE_ANSWER\" ] || exit 1\n"
    "printf '%s\\n' \"$FAKE_ANSWER\"\n";

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dirTemplate[] = "/tmp/tessa-dialogs-XXXXXX";
        ASSERT_TRUE(mkdtemp(dirTemplate));
        dir = dirTemplate;
        bin = dir + "/bin";
        argsFile = dir + "/args";
        const char* path = getenv("PATH");
        oldPath = path ? path : "";
        setenv("FAKE_ARGS", argsFile.c_str(), 1);
        unsetenv("FAKE_ANSWER");
        savedBox = ShowMessageBox;
        InstallFileDialogs();
        ForgetDialogNames();
        OnlyHelpers({"zenity"});
    }
    void TearDown() override {
        setenv("PATH", oldPath.c_str(), 1);
        unsetenv("FAKE_ARGS");
        unsetenv("FAKE_ANSWER");
        ShowMessageBox = savedBox;
        ForgetDialogNames();
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    // PATH holds only the fake helpers named (and nothing else).
    void OnlyHelpers(std::vector<const char*> names) {
        std::filesystem::remove_all(bin);
        std::filesystem::create_directory(bin);
        for (const char* name : names) {
            std::string file = bin + "/" + name;
            FILE* f = fopen(file.c_str(), "w");
            ASSERT_TRUE(f);
            fputs(FAKE_HELPER, f);
            fclose(f);
            chmod(file.c_str(), 0755);
        }
        setenv("PATH", bin.c_str(), 1);
    }
    static void Answer(const std::string& path) { setenv("FAKE_ANSWER", path.c_str(), 1); }
    // The helper's argument vector, its own name first (without the directory).
    std::vector<std::string> Args() const {
        std::vector<std::string> args;
        FILE* f = fopen(argsFile.c_str(), "rb");
        if (!f) return args;
        std::string current;
        for (int c; (c = fgetc(f)) != EOF;) {
            if (c) {
                current += (char)c;
                continue;
            }
            args.push_back(current);
            current.clear();
        }
        fclose(f);
        if (!args.empty()) args[0] = args[0].substr(args[0].rfind('/') + 1);
        return args;
    }
    std::string dir, bin, argsFile, oldPath;
    bool (*savedBox)(const char*, const char*, MessageBoxKind);
};

using ArgList = std::vector<std::string>;

TEST_F(DialogTest, SaveRunsZenityWithFilterTitleAndOverwritePrompt) {
    // Quotes, $, ; and spaces would all be taken apart by a shell.
    std::string awkward = dir + "/my \"best\" $HOME; rm -rf x 'it'.tf1";
    Answer(awkward);
    char out[512] = "";
    ASSERT_TRUE(SaveFileDialog(out, sizeof out, 0, nullptr));
    EXPECT_EQ(std::string(out), awkward);
    EXPECT_EQ(Args(), (ArgList{"zenity", "--file-selection", "--save", "--confirm-overwrite",
                               "--title=Save As", "--file-filter=Sculpture files | *.tf1"}));
}

TEST_F(DialogTest, OpenAndExportUseTheirKindsAndTitles) {
    Answer(dir + "/in.obj");
    char out[512] = "";
    ASSERT_TRUE(OpenFileDialog(out, sizeof out, 1, "Import"));
    EXPECT_EQ(Args(), (ArgList{"zenity", "--file-selection", "--title=Import",
                               "--file-filter=Wavefront OBJ files | *.obj"}));
    ASSERT_TRUE(OpenFileDialog(out, sizeof out, 0, nullptr));
    EXPECT_EQ(Args()[2], "--title=Open");
    Answer(dir + "/out");
    ASSERT_TRUE(SaveFileDialog(out, sizeof out, 1, "Export"));
    EXPECT_EQ(std::string(out), dir + "/out") << "only sculpture names get an extension";
}

TEST_F(DialogTest, SculptureNameWithoutExtensionGetsTf1) {
    char out[512] = "";
    Answer(dir + "/head");
    ASSERT_TRUE(SaveFileDialog(out, sizeof out, 0, nullptr));
    EXPECT_EQ(std::string(out), dir + "/head.tf1");
    Answer(dir + "/v1.2/head.old");
    ASSERT_TRUE(SaveFileDialog(out, sizeof out, 0, nullptr));
    EXPECT_EQ(std::string(out), dir + "/v1.2/head.old");
    Answer(dir + "/v1.2/head");
    ASSERT_TRUE(SaveFileDialog(out, sizeof out, 0, nullptr));
    EXPECT_EQ(std::string(out), dir + "/v1.2/head.tf1") << "a dot in a folder name is no extension";
    Answer(dir + "/head");
    ASSERT_TRUE(OpenFileDialog(out, sizeof out, 0, nullptr));
    EXPECT_EQ(std::string(out), dir + "/head") << "open takes the name as chosen";
}

// The helper asked about "head"; "head.tf1" is another file, asked about here.
TEST_F(DialogTest, ExtendedNameThatExistsIsConfirmedFirst) {
    static std::string asked;
    ShowMessageBox = [](const char* text, const char* caption, MessageBoxKind) {
        asked = std::string(caption) + ": " + text;
        return false;
    };
    std::string existing = dir + "/head.tf1";
    fclose(fopen(existing.c_str(), "w"));
    Answer(dir + "/head");
    char out[512] = "";
    EXPECT_FALSE(SaveFileDialog(out, sizeof out, 0, nullptr));
    EXPECT_EQ(asked,
              "Confirm Save As: " + existing + " already exists.\nDo you want to replace it?");
}

TEST_F(DialogTest, EachKindRemembersItsLastName) {
    char out[512] = "";
    Answer(dir + "/first.tf1");
    ASSERT_TRUE(SaveFileDialog(out, sizeof out, 0, nullptr));
    Answer(dir + "/model.obj");
    ASSERT_TRUE(OpenFileDialog(out, sizeof out, 1, "Import"));
    EXPECT_EQ(Args().back(), "--file-filter=Wavefront OBJ files | *.obj")
        << "kind 1 had no name yet";
    ASSERT_TRUE(OpenFileDialog(out, sizeof out, 0, nullptr));
    EXPECT_EQ(Args().back(), "--filename=" + dir + "/first.tf1");
}

TEST_F(DialogTest, CancelLeavesTheOutputAndTheRememberedName) {
    char out[512] = "unchanged";
    Answer(dir + "/kept.tf1");
    ASSERT_TRUE(SaveFileDialog(out, sizeof out, 0, nullptr));
    unsetenv("FAKE_ANSWER");  // the fake exits with 1, as zenity does on Cancel
    snprintf(out, sizeof out, "unchanged");
    EXPECT_FALSE(SaveFileDialog(out, sizeof out, 0, nullptr));
    EXPECT_EQ(std::string(out), "unchanged");
    Answer(dir + "/x.tf1");
    ASSERT_TRUE(OpenFileDialog(out, sizeof out, 0, nullptr));
    EXPECT_EQ(Args().back(), "--filename=" + dir + "/kept.tf1");
}

TEST_F(DialogTest, NameLongerThanTheBufferIsRefusedNotCut) {
    Answer(dir + "/" + std::string(200, 'a') + ".tf1");
    char out[64] = "";
    EXPECT_FALSE(OpenFileDialog(out, sizeof out, 0, nullptr));
}

TEST_F(DialogTest, KdialogIsUsedWhenZenityIsMissing) {
    OnlyHelpers({"kdialog"});
    Answer(dir + "/k.tf1");
    char out[512] = "";
    ASSERT_TRUE(OpenFileDialog(out, sizeof out, 0, nullptr));
    EXPECT_EQ(std::string(out), dir + "/k.tf1");
    EXPECT_EQ(Args(), (ArgList{"kdialog", "--title", "Open", "--getopenfilename", ".",
                               "*.tf1|Sculpture files"}));
    ASSERT_TRUE(SaveFileDialog(out, sizeof out, 0, nullptr));
    EXPECT_EQ(Args(), (ArgList{"kdialog", "--title", "Save As", "--getsavefilename", dir + "/k.tf1",
                               "*.tf1|Sculpture files"}));
}

TEST_F(DialogTest, NoHelperAtAllAnswersCancelled) {
    OnlyHelpers({});
    Answer(dir + "/never.tf1");
    char out[512] = "unchanged";
    EXPECT_FALSE(SaveFileDialog(out, sizeof out, 0, nullptr));
    EXPECT_FALSE(OpenFileDialog(out, sizeof out, 1, nullptr));
    EXPECT_EQ(std::string(out), "unchanged");
}

}  // namespace
