// config.txt: the settings of base/settings.h between runs. One fixed order
// of lines, each matched against the one format expected at its position
// (no key lookup), read at start and written at exit. Writes only the
// settings themselves; main thread only (it logs).
#pragma once
#include "base/base.h"

enum { CONFIG_VERSION = 3 };

// Reads path into the settings. A missing file or another version leaves
// every setting as it is (false). A line that does not match costs its own
// setting, and its leftover text the lines after it, as a scanf of the whole
// file would; numbers outside what the program can use are clamped, each
// with a "***" log line.
bool ReadConfig(const char* path);
// Writes every setting to a temporary file beside path and renames it over
// path, so a failed write keeps the previous file. False (logged) on failure.
bool WriteConfig(const char* path);
