// The text log against a real file: flood limit, verbose sections, muting
// and the sticky switch; the event-log label registry and record dumps.
#include <cstring>
#include "mesh_fixture.h"

static void PrintNumbered(const char* prefix, i32 count) {
    for (i32 i = 1; i <= count; i++) LogPrint("%s %i", prefix, i);
}

// ================================================================ flood limit

TEST(Log, FloodNoticeReplacesLine500AndNothingFollows) {
    TestLog log;
    PrintNumbered("line", 600);
    std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 501u);  // 499 lines, the notice, its empty line
    EXPECT_EQ(lines[0], "line 1");
    EXPECT_EQ(lines[498], "line 499");
    EXPECT_EQ(lines[499], "---- Log flood prevention");
    EXPECT_EQ(lines[500], "");
    std::string text = log.Text(), tail = "line 499\n---- Log flood prevention\n\n";
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST(Log, EndVerboseRestartsTheCountForTheNextSection) {
    TestLog log;
    PrintNumbered("first", 600);
    EXPECT_FALSE(LogEndVerbose());
    LogBeginVerbose(0);
    PrintNumbered("second", 499);
    std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 501u + 499u);
    EXPECT_EQ(lines.back(), "second 499");
    LogPrint("second 500");
    EXPECT_EQ(log.Lines().back(), "");  // the 500th again became the notice
}

TEST(Log, BeginVerboseAfterAFloodAllowsExactlyTwoMoreLines) {
    TestLog log;
    PrintNumbered("line", 600);
    LogBeginVerbose(0);
    PrintNumbered("extra", 4);
    std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 501u + 4u);
    EXPECT_EQ(lines[501], "extra 1");
    EXPECT_EQ(lines[502], "extra 2");
    EXPECT_EQ(lines[503], "---- Log flood prevention");
    EXPECT_EQ(lines[504], "");
}

TEST(Log, NoNewlineLinesCountTowardsTheFloodLimit) {
    TestLog log;
    for (i32 i = 0; i < 499; i++) LogPrintNoNewline("x");
    LogPrint("dropped");
    EXPECT_EQ(log.Text(), std::string(499, 'x') + "---- Log flood prevention\n\n");
}

// ================================================================ muting

TEST(Log, EndVerboseMutesUntilTheNextSection) {
    TestLog log;
    LogPrint("start-up");
    EXPECT_FALSE(LogEndVerbose());
    LogPrint("muted");
    LogBeginVerbose(0);
    LogPrint("section");
    LogEndVerbose();
    LogPrint("muted again");
    EXPECT_EQ(log.Text(), "start-up\nsection\n");
}

TEST(Log, StickySectionKeepsTheLogOpenForGood) {
    TestLog log;
    LogEndVerbose();
    LogBeginVerbose(1);
    EXPECT_TRUE(LogEndVerbose());
    LogPrint("after sticky");
    LogBeginVerbose(0);  // a later plain section cannot take sticky back
    EXPECT_TRUE(LogEndVerbose());
    LogPrint("still written");
    EXPECT_EQ(log.Text(), "after sticky\nstill written\n");
}

TEST(Log, VerboseCallsBeforeOpenDoNothing) {
    TestLog log;  // only to restore the never-opened state when done
    logEnabled = logActive = 0;
    LogBeginVerbose(1);
    EXPECT_EQ(logActive, 0);
    EXPECT_EQ(logSticky, 0);
}

// ================================================================ bad input

TEST(Log, OpenTruncatesThePreviousRun) {
    TestLog log;
    LogPrint("old run");
    LogOpen(log.path.c_str());
    LogPrint("new run");
    EXPECT_EQ(log.Text(), "new run\n");
}

TEST(Log, OverlongLineIsCutNotOverflowed) {
    TestLog log;
    std::string huge(5000, 'a');
    LogPrint("%s", huge.c_str());
    std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 1023u);
}

TEST(Log, UnwritableLogFileDropsLinesQuietly) {
    TestLog log;
    LogOpen("/nonexistent-dir/sub/log.txt");
    LogPrint("nowhere to go");
    LogPrintNoNewline("nor this");
    EXPECT_EQ(logLineCount, 2);
}

// ================================================================ event log

TEST(EventLog, LabelTableFollowsItsRule) {
    EXPECT_STREQ(eventLabelNames[0], "NULL");
    EXPECT_STREQ(eventLabelNames[33], "???");
    for (i32 i = 1; i <= 32; i++) {
        char initial = (char)('A' + (i - 1) % 16);  // two runs, initials A..P
        EXPECT_EQ(eventLabelNames[i][0], initial) << i;
        for (i32 k = 1; k < i; k++) EXPECT_STRNE(eventLabelNames[i], eventLabelNames[k]);
    }
    EXPECT_STREQ(eventTypeNames[EVENT_NOTHING], "Nothing");
}

TEST(EventLog, PointersGetStableLabelsUntilTheRegistryIsFull) {
    static char objects[40];
    EventLogReset();
    EXPECT_STREQ(EventLogName(nullptr), "NULL");
    for (i32 i = 1; i <= 32; i++) EXPECT_STREQ(EventLogName(&objects[i]), eventLabelNames[i]);
    EXPECT_STREQ(EventLogName(&objects[33]), "???");  // the 34th distinct pointer
    EXPECT_STREQ(EventLogName(&objects[34]), "???");
    EXPECT_STREQ(EventLogName(&objects[5]), eventLabelNames[5]);  // seen before
    EXPECT_STREQ(EventLogName(nullptr), "NULL");
    EventLogReset();
}

TEST(EventLog, DumpOfAnUntouchedRecordPrintsOnlyTitleAndEnd) {
    TestLog log;
    static Vertex record;
    EventLogReset();
    EventLogName(nullptr);
    ResetEventTag(record.eventTag);
    EventLogDump(record.eventTag, "vertex", &record);
    std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string("Event log for vertex ") + eventLabelNames[1] + ":");
    EXPECT_EQ(lines[1], " - (end)");
    EventLogReset();
}

TEST(EventLog, DumpNamesTheEventAndWhoCausedIt) {
    TestLog log;
    static Edge record, cause;
    EventLogReset();
    EventLogName(nullptr);
    record.eventTag = EventTag{6, (u32)(uintptr_t)&cause, 0};
    EventLogDump(record.eventTag, "edge", &record);
    record.eventTag.code = 200;  // a damaged tag must not index past the table
    EventLogDump(record.eventTag, "edge", &record);
    std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[1], std::string(" - Add triangle (") + eventLabelNames[2] + ")");
    EXPECT_EQ(lines[3], lines[0]);  // the record keeps its label
    EXPECT_EQ(lines[4], std::string(" - ? (") + eventLabelNames[2] + ")");
    EventLogReset();
}
