// The text log (log.txt) and the event log of record tags.
// The log is loud during start-up and muted afterwards except inside verbose
// sections; a section writes at most 499 lines so a runaway loop cannot flood
// the disk. The file is reopened for every line so it survives a crash.
// Main thread only: workers never log.
#pragma once
#include "base/base.h"

// Debug tag carried by every mesh record: what last happened to it and who
// did it. Nothing records events yet: the record creators reset the tag, so
// it reads EVENT_NOTHING until something does.
// The word first: eight bytes instead of twelve, in millions of records.
struct EventTag {
    u32 who;  // low 32 bits of the address of the record or object that caused it
    u8 code;  // index into the event-type table; EVENT_NOTHING = nothing recorded
    u8 flag;  // always 0
};
enum { EVENT_NOTHING = 25, EVENT_TYPE_COUNT = 26 };
inline void ResetEventTag(EventTag& t) {
    t.code = EVENT_NOTHING;
    t.who = 0;
    t.flag = 0;
}

// ---- log state (set by LogOpen, changed by the verbose sections)
extern char logPath[512];  // full path of log.txt
extern u8 logEnabled;      // set once by LogOpen; verbose calls do nothing without it
extern u8 logActive;       // lines are written only while set (unmuted)
extern u8 logSticky;       // once set, LogEndVerbose leaves the log unmuted for good
extern i32 logLineCount;   // lines attempted since the last LogEndVerbose; flood limit 500

void LogOpen(const char* path);
void LogPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
// A progress message that the next call finishes on the same line.
void LogPrintNoNewline(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogBeginVerbose(u8 sticky);
bool LogEndVerbose();

// ---- event log
extern const char* const eventTypeNames[EVENT_TYPE_COUNT];
extern const char* const eventLabelNames[34];  // 0 "NULL", 1..32 given names, 33 "???"
const char* EventLogName(const void* pointer);
void EventLogDump(const EventTag& tag, const char* title, const void* owner);
// Forgets every registered pointer (InitCore, which then registers null
// first so that it reads "NULL"; tests).
void EventLogReset();
