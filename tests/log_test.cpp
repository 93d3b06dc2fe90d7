// The text log against a real file: flood limit, verbose sections, muting,
// the sticky switch and bad input; the event-log label registry and dumps.
#include <cstring>
#include "mesh_fixture.h"

static void PrintNumbered(const char* prefix, i32 count) {
    for (i32 i = 1; i <= count; i++) LogPrint("%s %i", prefix, i);
}

static const std::string flood = "---- Log flood prevention";

TEST(Log, FloodNoticeReplacesLine500AndNothingFollows) {
    TestLog log;
    PrintNumbered("line", 600);
    std::string text = log.Text(), tail = "line 499\n" + flood + "\n\n";
    EXPECT_EQ(log.Lines().size(), 501u);  // 499 lines, the notice, its empty line
    EXPECT_EQ(text.substr(0, 7), "line 1\n");
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

// A section opened past a flood gets exactly two more lines; ending it
// restarts the count, so the next section gets 499 before the notice.
TEST(Log, VerboseSectionAfterAFloodGetsTwoLinesAndEndingItRestartsTheCount) {
    TestLog log;
    PrintNumbered("line", 600);
    LogBeginVerbose(0);
    PrintNumbered("extra", 4);
    std::vector<std::string> lines = log.Lines();
    std::vector<std::string> tail(lines.begin() + 501, lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"extra 1", "extra 2", flood, ""}));
    EXPECT_FALSE(LogEndVerbose());
    LogBeginVerbose(0);
    PrintNumbered("second", 499);
    EXPECT_EQ(log.Lines().back(), "second 499");
    LogPrint("second 500");
    EXPECT_EQ(log.Lines().back(), "");  // the 500th again became the notice
}

TEST(Log, EndVerboseMutesUntilTheNextSectionAndStickyKeepsItOpen) {
    TestLog log;
    LogPrint("start-up");
    EXPECT_FALSE(LogEndVerbose());
    LogPrint("muted");
    LogBeginVerbose(0);
    LogPrint("section");
    LogEndVerbose();
    LogPrint("muted again");
    LogBeginVerbose(1);
    EXPECT_TRUE(LogEndVerbose());
    LogPrint("after sticky");
    LogBeginVerbose(0);  // a later plain section cannot take sticky back
    EXPECT_TRUE(LogEndVerbose());
    LogPrint("still written");
    EXPECT_EQ(log.Text(), "start-up\nsection\nafter sticky\nstill written\n");
}

TEST(Log, BadInputIsSurvived) {
    TestLog log;
    LogPrint("old run");
    LogOpen(log.path.c_str());  // a new run truncates the old one
    LogPrint("%s", std::string(5000, 'a').c_str());
    EXPECT_EQ(log.Text(), std::string(1023, 'a') + "\n");  // cut, not overflowed
    LogOpen("/nonexistent-dir/sub/log.txt");
    LogPrint("nowhere to go");
    LogPrint("nor this");
    EXPECT_EQ(logLineCount, 2);
    logEnabled = logActive = 0;  // never opened: verbose calls do nothing
    LogBeginVerbose(1);
    EXPECT_EQ(logActive + logSticky, 0);
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

TEST(EventLog, DumpNamesTheEventAndWhoCausedItAndSurvivesADamagedCode) {
    TestLog log;
    static Edge record, cause;
    EventLogReset();
    EventLogName(nullptr);
    ResetEventTag(record.eventTag);  // code 25: nothing recorded
    EventLogDump(record.eventTag, "edge", &record);
    record.eventTag = EventTag{6, (u32)(uintptr_t)&cause, 0};
    EventLogDump(record.eventTag, "edge", &record);
    record.eventTag.code = 200;  // must not index past the table
    EventLogDump(record.eventTag, "edge", &record);
    std::string title = std::string("Event log for edge ") + eventLabelNames[1] + ":";
    std::string by = std::string(" (") + eventLabelNames[2] + ")";
    std::vector<std::string> expected = {
        title,      " - (end)", title,       " - Add triangle" + by,
        " - (end)", title,      " - ?" + by, " - (end)"};
    EXPECT_EQ(log.Lines(), expected);
    EventLogReset();
}
