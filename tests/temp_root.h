// One private temporary folder per test process (TMPDIR and TEST_TMPDIR
// point there, for the tests and the programs they start), removed at exit.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <string>

struct TempRoot {
    std::string path = std::filesystem::temp_directory_path() / "tessa-tests-XXXXXX";
    TempRoot() {
        if (mkdtemp(path.data()))
            setenv("TMPDIR", path.c_str(), 1), setenv("TEST_TMPDIR", path.c_str(), 1);
    }
    ~TempRoot() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};
