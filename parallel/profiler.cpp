// Sampling profiler: one thread spins reading the main thread's section
// stack and counts the innermost section; a report pass every period turns
// counts into each section's share and top callers (the bench prints them).
// Counters are atomics because the sampler resets what the main thread
// increments.
#include <cstdio>
#include "base/settings.h"
#include "parallel/parallel.h"

extern thread_local u8 isWorkerThread;

ProfileRecord profileRecords[PROFILE_SECTION_COUNT];
std::atomic<i32> profileStack[PROFILE_STACK];
std::atomic<i32> profileDepth;
std::atomic<i32> profileOverflow{-1};
u32 profilePeriod = 2000;

static std::atomic<u32> totalSamples;
static u32 lastReportTime;
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
        const char* name = sectionNames[i] ? sectionNames[i] : "?";
        snprintf(r.name, sizeof r.name, "%s", i == PROF_NONE ? "-" : name);
    }
    profileStack[0] = PROF_NONE;
    profileDepth = 0;
    profileOverflow = -1;
    totalSamples = 0;
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
    u32 total = totalSamples;
    for (i32 i = 0; i < PROFILE_SECTION_COUNT; i++) {
        ProfileRecord& r = profileRecords[i];
        r.lastSamples = r.samples;
        r.share = total ? r.lastSamples * 100.0f / total : 0.0f;
        r.lastCalls = r.calls;
        FindTopCallers(r);
        r.samples = 0;
        for (auto& c : r.callerSamples) c = 0;
        r.calls = 0;
    }
    totalSamples = 0;
}

static void SamplerThread() {
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
        u32 now = NowMs();
        if (now - lastReportTime >= profilePeriod) {
            lastReportTime = now;
            ProfileReport();
        }
        std::this_thread::yield();
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
