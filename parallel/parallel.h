// Worker pool and sampling profiler.
// RunParallel hands one job to every thread (the caller included); each
// thread takes every n-th item, so no two threads write one record. Jobs over
// a list of slots deal out the slots, not the list positions (slot % n): a
// list may name a slot twice. Threads meet only through atomic flags, no
// locks: a worker without a job blocks on its wake counter, which
// RunParallel bumps after handing out the job.
// The profiler counts which named section the main thread is in; worker
// threads may call ProfileBegin/End but are not recorded (one shared stack
// would be torn by concurrent pushes). Its sampler sleeps between samples,
// so it never takes a core from the workers.
#pragma once
#include <atomic>
#include <thread>
#include "base/base.h"

typedef void (*JobFn)(i32 threadIndex, i32 threadCount);

enum { MAX_THREADS = 64 };

// index and thread are set by StartWorkers; the rest as each field says.
struct WorkerSlot {
    i32 index;               // slot number = thread index handed to jobs
    std::thread thread;      // none for slot 0 (the calling thread)
    std::atomic<u8> quit;    // set by StopWorkers
    std::atomic<u8> busy;    // set by StartWorkers and by the worker while it runs a job
    std::atomic<u8> done;    // set by the worker after a job, cleared by RunParallel
    std::atomic<JobFn> job;  // set by RunParallel, cleared by the worker when the job is done
    std::atomic<u32> wake;   // bumped after job or quit is set; an idle worker waits on it
};

extern WorkerSlot workerSlots[MAX_THREADS];
// Threads taking part, the main thread included; 1 .. 64. Set by
// StartWorkers, back to 1 by StopWorkers.
extern i32 threadCount;

u32 NowMs();  // millisecond clock (monotonic)
i32 ProcessorCount();

void StartWorkers(i32 maxThreads, i32 reservedCores);
void RunParallel(JobFn job);
void StopWorkers();
// Runs job on all threads when useThreads is set, else job(0, 1) here.
void RunMaybeParallel(JobFn job, i32 useThreads);
// A pass over this many list entries pays for the hand-off to the workers:
// below it, the hand-off and the cache lines the threads then share cost
// more than the work they split (measured on brush steps). Light passes
// (DRAW's) split sooner than heavy-record ones (normals, measuring).
constexpr i32 PARALLEL_LIGHT_ITEMS = 2048, PARALLEL_HEAVY_ITEMS = 131072;
// Whether thread ti of tn takes the slot in a job over a slot list. Every
// thread reads the whole list, so the test is cheap for a power-of-two
// count (the usual number of cores): a mask, no division.
inline bool TakesSlot(i32 slot, i32 ti, i32 tn) {
    u32 n = (u32)tn;
    return ((n & (n - 1)) == 0 ? (u32)slot & (n - 1) : (u32)slot % n) == (u32)ti;
}

// ---- profiler
// Sections are numbered across the whole program; each module fixes the
// numbers of its own sections in its header and names them at start-up.
// Section 22, "-", stands for time outside every section.
enum { PROF_NONE = 22, PROFILE_SECTION_COUNT = 23 };
struct ProfileSectionName {
    i32 section;
    const char* name;
};
// Names sections for the report (before ProfilerInit, which copies the
// names; a section nobody named reports as "?").
void NameProfileSections(const ProfileSectionName* names, i32 count);
template <i32 N>
void NameProfileSections(const ProfileSectionName (&names)[N]) {
    NameProfileSections(names, N);
}
enum { PROFILE_STACK = 252, PROFILE_HISTORY = 128 };

// Counts by ProfileBegin (calls) and the sampler (samples, callerSamples);
// everything else by ProfileReport, on the main thread, so the overlay reads
// it without racing anyone. All of it reset by ProfilerInit.
struct ProfileRecord {
    std::atomic<u32> samples;                               // since the last report
    std::atomic<u32> callerSamples[PROFILE_SECTION_COUNT];  // by the section next down the stack
    std::atomic<u32> calls;  // ProfileBegin calls since the last report
    char name[32];
    u32 lastSamples;
    u32 lastCalls;           // calls in the last period (the overlay's count)
    f32 share;               // percent of all samples in the last period
    i32 topCallers[2];       // section numbers, PROF_NONE when there is none
    f32 topCallerShares[2];  // percent of this section's samples
    // share of each of the last PROFILE_HISTORY reports, oldest at
    // profileHistoryPos; marked = a stroke was active at that report.
    f32 shareHistory[PROFILE_HISTORY];
    u8 marked[PROFILE_HISTORY];
};

extern ProfileRecord profileRecords[PROFILE_SECTION_COUNT];
// The main thread's section stack: pushed by ProfileBegin, popped by
// ProfileEnd, read by the sampler; entry 0 is PROF_NONE (ProfilerInit).
extern std::atomic<i32> profileStack[PROFILE_STACK];
extern std::atomic<i32> profileDepth;
// Section whose ProfileBegin found the stack full, else -1: set by
// ProfileBegin, which then stops profiling (the overlay shows it as the
// error); cleared by ProfilerInit.
extern std::atomic<i32> profileOverflow;
extern u32 profilePeriod;  // ms between reports; set by ProfilerInit
// 1 while a stroke is active: set and cleared by the frame logic, stored in
// the histories' marked flags by ProfileReport.
extern std::atomic<u8> profileStroke;
// Written by ProfileReport for the overlay: the next history entry to write
// (so the oldest), frames per second, the samples taken since ProfilerInit
// (in millions), and the sum of all shares (100 once anything was sampled).
extern i32 profileHistoryPos;
extern i32 profileFps;
extern f32 profileMegasamples;
extern f32 profileTotalShare;

void ProfileBegin(i32 section);
void ProfileEnd();
void ProfilerInit(u32 periodMs);
// The sampling thread: about 500 samples a second, asleep in between,
// so showing the overlay costs next to nothing. Started only while the
// overlay is shown (mtProfiler) and by the benchmark's profile mode.
void StartProfiler();
void StopProfiler();
void ProfileReport();  // one report pass (ProfileFrame runs it every period)
// Once per drawn frame while mtProfiler is set: counts the frame and runs the
// report when a period has passed. Main thread.
void ProfileFrame();
