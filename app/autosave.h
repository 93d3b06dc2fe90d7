// Autosave and recovery: while the sculpture has unsaved changes, no stroke
// runs and the mesh has settled, its image is copied in memory on the main
// thread and written to the restore file on a thread of its own (temporary
// file, then rename), at most once every autosaveSeconds. A clean exit
// deletes the file; a start that finds it was preceded by a session that
// did not end cleanly and offers to recover it. Owns the writer thread.
#pragma once
#include "base/base.h"

// Where the restore file lives: the one place that names it.
const char* RestoreFilePath();
// Frame stage: deletes the restore file once nothing is unsaved, starts a
// write when one is due, and collects a finished one.
void UpdateAutosave();
// Start-up, after the crash marker: a restore file left by the last session
// is offered ("Recover the sculpture from the last session?"). OK loads it
// as an untitled, modified sculpture; Cancel, or a damaged file, deletes it.
// True when the sculpture was recovered.
bool OfferRecovery();
// Shutdown: waits for a write in progress, then deletes the restore file.
void StopAutosave();
// Bytes of the last image copied for the writer, and the longest time one
// frame spent copying it, in seconds; the benchmark reads them.
extern int64_t autosaveImageBytes;
extern double autosaveCopySeconds;
// Copies the whole image into the writer's buffer at once, in the shares a
// frame would take; false when memory runs out. For the benchmark.
bool CopyRestoreImage();
