// The text log against a real file: flood limit, verbose sections, muting,
// bad input; the event-log label registry.
#include "mesh_fixture.h"

static void PrintNumbered(const char* prefix, i32 count) {
    for (i32 i = 1; i <= count; i++) LogPrint("%s %i", prefix, i);
}
static const std::string flood = "---- Log flood prevention";

// The notice replaces line 500 and nothing follows; a section opened past a
// flood gets exactly two more lines, and ending it restarts the count.
TEST(Log, FloodNoticeReplacesLine500AndAVerboseSectionGetsTwoMore) {
    TestLog log;
    PrintNumbered("line", 600);
    std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 501u);  // 499 lines, the notice, its empty line
    EXPECT_TRUE(lines[0] == "line 1" && lines[498] == "line 499" && lines[499] == flood);
    LogBeginVerbose(0);
    PrintNumbered("extra", 4);
    lines = log.Lines();
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 501, lines.end()),
              (std::vector<std::string>{"extra 1", "extra 2", flood, ""}));
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
    logSticky = 0;
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

// 32 given names, then "???"; a dump names its record. (Nothing records
// events yet: every tag reads "nothing", so a dump is its title and end.)
TEST(EventLog, PointersGetStableLabelsUntilTheRegistryIsFull) {
    static char objects[40];
    EventLogReset();
    EXPECT_STREQ(EventLogName(nullptr), "NULL");
    for (i32 i = 1; i <= 32; i++) EXPECT_STREQ(EventLogName(&objects[i]), eventLabelNames[i]);
    EXPECT_STREQ(EventLogName(&objects[33]), "???");
    EXPECT_STREQ(EventLogName(&objects[5]), eventLabelNames[5]);  // seen before
    TestLog log;
    EventTag tag;
    ResetEventTag(tag);
    EventLogDump(tag, "edge", &objects[2]);
    EXPECT_EQ(log.Text(),
              std::string("Event log for edge ") + eventLabelNames[2] + ":\n - (end)\n");
    EventLogReset();
}
