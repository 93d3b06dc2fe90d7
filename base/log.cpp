// Log file writer, the failure path of TF_ASSERT and the event-log label
// registry. Owns every log* global.
// Never call from a worker thread: nothing here is synchronised.
#include "base/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

char logPath[512];
u8 logEnabled;
u8 logActive;
u8 logSticky;
i32 logLineCount;

void LogOpen(const char* path) {
    snprintf(logPath, sizeof logPath, "%s", path);
    FILE* f = fopen(logPath, "w");
    if (f) fclose(f);
    logEnabled = 1;
    logActive = 1;
    logLineCount = 0;
}

// One call, one counted write; `ending` is appended after the text.
static void WriteLog(const char* ending, const char* format, va_list args) {
    if (!logActive) return;
    logLineCount++;
    if (logLineCount == 500) {
        FILE* f = fopen(logPath, "a");
        if (f) {
            fputs("---- Log flood prevention\n\n", f);
            fclose(f);
        }
    }
    if (logLineCount >= 500) return;
    char text[1024];
    vsnprintf(text, sizeof text, format, args);
    FILE* f = fopen(logPath, "a");
    if (!f) return;
    fputs(text, f);
    fputs(ending, f);
    fclose(f);
}

void LogPrint(const char* format, ...) {
    va_list args;
    va_start(args, format);
    WriteLog("\n", format, args);
    va_end(args);
}

void LogPrintNoNewline(const char* format, ...) {
    va_list args;
    va_start(args, format);
    WriteLog("", format, args);
    va_end(args);
}

void LogBeginVerbose(u8 sticky) {
    if (!logEnabled) return;
    if (sticky) logSticky = 1;
    logActive = 1;
    // A section opened after a flood gets two more lines, then the flood text again.
    if (logLineCount > 497) logLineCount = 497;
}

bool LogEndVerbose() {
    if (!logEnabled) return logActive != 0;
    logActive = logSticky;
    logLineCount = 0;
    return logActive != 0;
}

// ================================================================ invariant checks

bool AssertFailed(const char* file, int line, const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    // A "###" line always reaches the log, even when it is muted.
    LogBeginVerbose(0);
    LogPrint("### %s", text);
#if TESSA_ASSERTS
    fprintf(stderr, "%s:%i: invariant broken: %s\n", file, line, text);
    abort();
#else
    (void)file;
    (void)line;
    return false;
#endif
}

// ================================================================ event log

const char* const eventTypeNames[EVENT_TYPE_COUNT] = {"Add",
                                                      "Remove",
                                                      "Direct access to position",
                                                      "Direct access to normal",
                                                      "Add edge",
                                                      "Remove edge",
                                                      "Add triangle",
                                                      "Remove triangle",
                                                      "UpdateNormal()",
                                                      "Reassign an edge",
                                                      "Reassign a triangle",
                                                      "Survived edge collapse",
                                                      "Assign vertex",
                                                      "Assign edge",
                                                      "Collapse",
                                                      "Collapse (keep)",
                                                      "Tesselate",
                                                      "Reassign edge, add",
                                                      "Reassign edge, remove",
                                                      "Reassign triangle, add",
                                                      "Reassign triangle, remove",
                                                      "Reassign vertex, add",
                                                      "Reassign vertex, remove",
                                                      "** Remove (was connected)",
                                                      "Collapse/reconstruct involvement",
                                                      "Nothing"};

// Two alphabetical runs of given names, initials A..P each, so a dump reads
// "Alma", "Bruno", ... and the second run is told apart by its longer names.
const char* const eventLabelNames[34] = {
    "NULL",      "Alma",      "Bruno",    "Cleo",     "Dario",    "Edda",     "Felix",
    "Greta",     "Hugo",      "Ines",     "Jonas",    "Kira",     "Lars",     "Mona",
    "Nils",      "Olga",      "Paul",     "Annika",   "Bernhard", "Clarissa", "Dominik",
    "Elisabeth", "Friedrich", "Gabriele", "Heinrich", "Isabella", "Johannes", "Katharina",
    "Leopold",   "Magdalena", "Nikolaus", "Ottilie",  "Pankraz",  "???"};

static u32 labelKeys[33];
static i32 labelCount;

void EventLogReset() { labelCount = 0; }

static const char* LabelForKey(u32 key) {
    for (i32 i = 0; i < labelCount; i++)
        if (labelKeys[i] == key) return eventLabelNames[i];
    if (labelCount < 33) {
        labelKeys[labelCount] = key;
        return eventLabelNames[labelCount++];
    }
    return eventLabelNames[33];
}

// Tags store only 32 bits of an address, so pointers are keyed the same way.
const char* EventLogName(const void* pointer) { return LabelForKey((u32)(uintptr_t)pointer); }

void EventLogDump(const EventTag& tag, const char* title, const void* owner) {
    LogPrint("Event log for %s %s:", title, EventLogName(owner));
    if (tag.code != EVENT_NOTHING) {
        const char* type = tag.code < EVENT_TYPE_COUNT ? eventTypeNames[tag.code] : "?";
        LogPrint(" - %s (%s)", type, LabelForKey(tag.who));
    }
    LogPrint(" - (end)");
}
