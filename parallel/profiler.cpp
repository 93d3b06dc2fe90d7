// Sampling profiler: one thread wakes every two milliseconds, reads the
// main thread's section stack and counts the innermost section; a report
// pass every period, run by the main thread, turns counts into each
// section's share, top callers and history (the overlay draws them, the
// bench prints them). Counters are atomics because the report resets what
// the sampler and ProfileBegin increment.
#include <pthread.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include "base/settings.h"
#include "parallel/parallel.h"

extern thread_local u8 isWorkerThread;

ProfileRecord profileRecords[PROFILE_SECTION_COUNT];
std::atomic<i32> profileStack[PROFILE_STACK];
std::atomic<i32> profileDepth;
std::atomic<i32> profileOverflow{-1};
u32 profilePeriod = 2000;
std::atomic<u8> profileStroke;
i32 profileHistoryPos;
i32 profileFps;
f32 profileMegasamples;
f32 profileTotalShare;

// 500 samples a second give a 250 ms report 125 samples (0.8 % a sample)
// for well under 1 % of one core: an idle program with the overlay shown
// stays idle.
enum { SAMPLE_INTERVAL_US = 2000 };

static std::atomic<u32> totalSamples;
static u32 lastReportTime;
static u32 reportFrames;  // frames drawn since the last report
static std::atomic<u8> samplerStop;
static std::thread samplerThread;

static const char* sectionNames[PROFILE_SECTION_COUNT];  // null = not named

void NameProfileSections(const ProfileSectionName* names, i32 count) {
    for (i32 i = 0; i < count; i++)
        if (names[i].section >= 0 && names[i].section < PROFILE_SECTION_COUNT)
            sectionNames[names[i].section] = names[i].name;
}

void ProfileBegin(i32 section) {
    if (!mtProfiler || isWorkerThread || profileOverflow != -1) return;
    profileRecords[section].calls++;
    i32 depth = profileDepth;
    if (depth > 250) {
        profileOverflow = section;
        return;
    }
    profileStack[depth + 1] = section;
    profileDepth = depth + 1;  // publish after the entry so the sampler never reads a stale top
}

void ProfileEnd() {
    if (!mtProfiler || isWorkerThread || profileOverflow != -1) return;
    if (profileDepth > 0) profileDepth--;
}

void ProfilerInit(u32 periodMs) {
    profilePeriod = periodMs;
    for (i32 i = 0; i < PROFILE_SECTION_COUNT; i++) {
        ProfileRecord& r = profileRecords[i];
        r.samples = 0;
        r.calls = 0;
        for (auto& c : r.callerSamples) c = 0;
        r.lastSamples = r.lastCalls = 0;
        r.share = 0;
        r.topCallers[0] = r.topCallers[1] = PROF_NONE;
        r.topCallerShares[0] = r.topCallerShares[1] = 0;
        memset(r.shareHistory, 0, sizeof r.shareHistory);
        memset(r.marked, 0, sizeof r.marked);
        const char* name = sectionNames[i] ? sectionNames[i] : "?";
        snprintf(r.name, sizeof r.name, "%s", i == PROF_NONE ? "-" : name);
    }
    profileStack[0] = PROF_NONE;
    profileDepth = 0;
    profileOverflow = -1;
    totalSamples = 0;
    profileHistoryPos = 0;
    profileFps = 0;
    profileMegasamples = profileTotalShare = 0;
    reportFrames = 0;
    lastReportTime = NowMs();
}

// The two callers with the most samples; the lowest section number wins a tie.
static void FindTopCallers(ProfileRecord& r) {
    r.topCallers[0] = r.topCallers[1] = PROF_NONE;
    r.topCallerShares[0] = r.topCallerShares[1] = 0;
    if (r.lastSamples == 0) return;
    u32 best[2] = {0, 0};
    for (i32 c = 0; c < PROFILE_SECTION_COUNT; c++) {
        u32 n = r.callerSamples[c];
        if (n > best[0]) {
            best[1] = best[0];
            r.topCallers[1] = r.topCallers[0];
            best[0] = n;
            r.topCallers[0] = c;
        } else if (n > best[1]) {
            best[1] = n;
            r.topCallers[1] = c;
        }
    }
    for (i32 k = 0; k < 2; k++) r.topCallerShares[k] = best[k] * 100.0f / r.lastSamples;
}

void ProfileReport() {
    u32 total = totalSamples.exchange(0);
    u8 stroke = profileStroke;
    profileTotalShare = 0;
    for (i32 i = 0; i < PROFILE_SECTION_COUNT; i++) {
        ProfileRecord& r = profileRecords[i];
        r.lastSamples = r.samples.exchange(0);
        r.share = total ? r.lastSamples * 100.0f / total : 0.0f;
        r.lastCalls = r.calls.exchange(0);
        FindTopCallers(r);
        for (auto& c : r.callerSamples) c = 0;
        r.shareHistory[profileHistoryPos] = r.share;
        r.marked[profileHistoryPos] = stroke;
        profileTotalShare += r.share;
    }
    profileHistoryPos = (profileHistoryPos + 1) % PROFILE_HISTORY;
    profileFps = profilePeriod ? (i32)((u64)reportFrames * 1000 / profilePeriod) : 0;
    profileMegasamples += total * 0.000001f;
    reportFrames = 0;
}

void ProfileFrame() {
    if (!mtProfiler) return;
    reportFrames++;
    u32 now = NowMs();
    if (now - lastReportTime < profilePeriod) return;
    lastReportTime = now;
    ProfileReport();
}

static void SamplerThread() {
    pthread_setname_np(pthread_self(), "tf-sampler");
    while (!samplerStop) {
        i32 depth = profileDepth;
        if (depth < 0) depth = 0;
        i32 top = profileStack[depth];
        i32 caller = depth > 0 ? profileStack[depth - 1].load() : (i32)PROF_NONE;
        if (top >= 0 && top < PROFILE_SECTION_COUNT && caller >= 0 &&
            caller < PROFILE_SECTION_COUNT) {
            profileRecords[top].samples++;
            profileRecords[top].callerSamples[caller]++;
            totalSamples++;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(SAMPLE_INTERVAL_US));
    }
}

void StartProfiler() {
    samplerStop = 0;
    samplerThread = std::thread(SamplerThread);
}

void StopProfiler() {
    samplerStop = 1;
    if (samplerThread.joinable()) samplerThread.join();
}
