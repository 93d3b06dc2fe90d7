// One private folder per test process, removed when the process ends:
// TMPDIR and TEST_TMPDIR point into it, so testing::TempDir(),
// std::filesystem::temp_directory_path() and the programs the tests start
// all write there, and nothing is left in /tmp.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <string>

struct TempRoot {
    std::string path = std::filesystem::temp_directory_path() / "tessa-tests-XXXXXX";
    TempRoot() {
        if (!mkdtemp(path.data())) return;
        setenv("TMPDIR", path.c_str(), 1);
        setenv("TEST_TMPDIR", path.c_str(), 1);
    }
    ~TempRoot() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};
