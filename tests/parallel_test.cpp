// Worker pool and profiler: every item visited once for 1 to 8 threads, the
// thread-count limits, overflow, reports, and workers kept off the stack.
#include <set>
#include <thread>
#include "app/framelogic.h"
#include "mesh_fixture.h"
#include "tools/brush.h"

// Exactly n threads whatever the core count: reserving a negative number of
// cores oversubscribes, which the pool must cope with.
static void StartExactly(i32 n) {
    StopWorkers();
    StartWorkers(n, ProcessorCount() - n);
}

// Each test may restart the pool; the rest of the binary gets the default one back.
class WorkerTest : public ::testing::Test {
protected:
    void TearDown() override {
        StopWorkers();
        StartWorkers(0, 0);
    }
};

enum { ITEMS = 10007 };
static i32 visits[ITEMS], callsByThread[MAX_THREADS], countSeen[MAX_THREADS];
static std::thread::id threadOfIndex0;

static void CountingJob(i32 threadIndex, i32 count) {
    callsByThread[threadIndex]++;
    countSeen[threadIndex] = count;
    if (threadIndex == 0) threadOfIndex0 = std::this_thread::get_id();
    for (i32 i = threadIndex; i < ITEMS; i += count) visits[i]++;  // plain writes
}

TEST_F(WorkerTest, EveryItemIsVisitedOnceForOneToEightThreads) {
    for (i32 n = 1; n <= 8; n++) {
        SCOPED_TRACE(::testing::Message() << n << " threads");
        StartExactly(n);
        ASSERT_EQ(threadCount, n);
        memset(visits, 0, sizeof visits);
        memset(callsByThread, 0, sizeof callsByThread);
        const i32 runs = 50;
        for (i32 run = 0; run < runs; run++) RunParallel(CountingJob);
        i32 wrong = 0;
        for (i32 i = 0; i < ITEMS; i++) wrong += visits[i] != runs;
        EXPECT_EQ(wrong, 0);
        for (i32 t = 0; t < n; t++) EXPECT_TRUE(callsByThread[t] == runs && countSeen[t] == n) << t;
        EXPECT_EQ(threadOfIndex0, std::this_thread::get_id());
        RunMaybeParallel(CountingJob, 0);  // the serial path: here, as index 0 of 1
        EXPECT_TRUE(callsByThread[0] == runs + 1 && countSeen[0] == 1);
    }
}

TEST_F(WorkerTest, ThreadCountStaysBetweenOneAndSixtyFour) {
    i32 cores = ProcessorCount();
    const i32 maxThreads[] = {0, 1, 0, 0}, reserved[] = {0, 0, cores + 3, cores - 100};
    const i32 expected[] = {std::min(cores, 64), 1, 1, 64};
    for (i32 k = 0; k < 4; k++) {
        StopWorkers();
        StartWorkers(maxThreads[k], reserved[k]);
        EXPECT_EQ(threadCount, expected[k]) << "case " << k;
    }
    RunParallel(CountingJob);  // all 64 take part
    EXPECT_EQ(countSeen[63], 64);
    StopWorkers();
    EXPECT_EQ(threadCount, 1);
}

class ProfilerTest : public WorkerTest {
protected:
    void SetUp() override {
        mtProfiler = 1;
        ProfilerInit(1000000);  // no report unless the test asks for one
    }
    void TearDown() override {
        ProfilerInit(250);  // clears the overflow stop and the stack
        mtProfiler = 0;
        WorkerTest::TearDown();
    }
};

// An unmatched end at the bottom of the stack stays there.
TEST_F(ProfilerTest, OverflowAtDepth251StopsAllProfiling) {
    ProfileEnd();
    EXPECT_EQ(profileDepth, 0);
    for (i32 i = 0; i < 251; i++) ProfileBegin(PROF_MISCLOGIC);
    EXPECT_EQ(profileOverflow, -1);
    ProfileBegin(PROF_APPLYTOOL);
    EXPECT_TRUE(profileOverflow == PROF_APPLYTOOL && profileRecords[PROF_APPLYTOOL].calls == 1);
    ProfileBegin(PROF_BEAUTIFY);  // stopped: not even counted
    ProfileEnd();
    EXPECT_EQ(profileRecords[PROF_BEAUTIFY].calls, 0u);
    EXPECT_TRUE(profileDepth == 251 && profileStack[251] == PROF_MISCLOGIC);
}

TEST_F(ProfilerTest, NeverEnteredSectionReportsZeroWithCallerNone) {
    StartProfiler();
    profileStroke = 1;
    ProfileBegin(PROF_APPLYTOOL);
    ProfileBegin(PROF_BEAUTIFY);
    // Stay inside until the sampler has seen the inner section, however busy the machine.
    u32 start = NowMs();
    while (profileRecords[PROF_BEAUTIFY].samples < 10 && NowMs() - start < 10000)
        std::this_thread::yield();
    ProfileEnd();
    ProfileEnd();
    StopProfiler();
    ProfileReport();
    const ProfileRecord& idle = profileRecords[PROF_RAYCAST];
    EXPECT_TRUE(idle.share == 0 && idle.lastCalls == 0);
    for (i32 k = 0; k < 2; k++)
        EXPECT_TRUE(idle.topCallers[k] == PROF_NONE && idle.topCallerShares[k] == 0) << k;
    const ProfileRecord& inner = profileRecords[PROF_BEAUTIFY];
    EXPECT_TRUE(inner.share > 0 && inner.topCallers[0] == PROF_APPLYTOOL);
    EXPECT_EQ(inner.topCallerShares[0], 100.0f);
    EXPECT_NEAR(profileTotalShare, 100.0f, 0.01f);
    // The report goes to the history, marked while a stroke is active.
    EXPECT_TRUE(inner.shareHistory[0] == inner.share && inner.marked[0] && profileHistoryPos == 1);
    profileStroke = 0;
    EXPECT_EQ(inner.samples, 0u);  // counts start again
    ProfilerInit(1000000);         // a restart forgets every report
    EXPECT_TRUE(inner.share == 0 && inner.topCallerShares[0] == 0 &&
                inner.topCallers[0] == PROF_NONE && inner.lastSamples == 0 && !inner.marked[0] &&
                profileHistoryPos == 0);
}

static void NestingJob(i32, i32) {
    for (i32 round = 0; round < 20; round++) {
        for (i32 d = 0; d < 200; d++) ProfileBegin(PROF_EDGELENGTH);
        for (i32 d = 0; d < 200; d++) ProfileEnd();
    }
}

TEST_F(ProfilerTest, WorkerSectionsLeaveTheMainStackIntact) {
    StartExactly(4);
    ProfileBegin(PROF_UPDATENORMALS);
    for (i32 i = 0; i < 20; i++) RunParallel(NestingJob);
    // Four threads 200 deep on one stack would overflow.
    EXPECT_TRUE(profileOverflow == -1 && profileDepth == 1 &&
                profileStack[1] == PROF_UPDATENORMALS);
    ProfileEnd();
    EXPECT_EQ(profileDepth, 0);
}

// Sections are numbered across modules: a number two modules claim would mix
// their counts and lose one name from the report.
TEST(ProfileSections, ModulesClaimDistinctNumbersBelowTheIdleSection) {
    std::set<i32> seen;
    auto claim = [&](const auto& names) {
        for (const ProfileSectionName& n : names) {
            EXPECT_TRUE(seen.insert(n.section).second) << n.name << " reuses " << n.section;
            EXPECT_LT(n.section, PROF_NONE) << n.name;
        }
    };
    claim(meshProfileSections);
    claim(toolProfileSections);
    claim(frameProfileSections);
    NameProfileSections(meshProfileSections);
    ProfilerInit(250);
    EXPECT_STREQ(profileRecords[PROF_BEAUTIFY].name, "beautify");
    EXPECT_STREQ(profileRecords[PROF_NONE].name, "-");
}
