// Worker pool and sampling profiler.
// RunParallel hands one job to every thread (the caller included); each
// thread takes every n-th item, so no two threads write one record. Threads
// meet only through polled atomic flags: no locks anywhere.
// The profiler counts which named section the main thread is in; worker
// threads may call ProfileBegin/End but are not recorded (one shared stack
// would be torn by concurrent pushes).
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
    u32 lastActivity;        // ms, when the worker last finished a job (or started); the worker's
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
enum { PROFILE_STACK = 252 };

struct ProfileRecord {
    std::atomic<u32> samples;                               // since the last report
    std::atomic<u32> callerSamples[PROFILE_SECTION_COUNT];  // by the section next down the stack
    std::atomic<u32> calls;  // ProfileBegin calls since the last report
    char name[32];
    u32 lastSamples;
    u32 lastCalls;
    f32 share;               // percent of all samples in the last period
    i32 topCallers[2];       // section numbers
    f32 topCallerShares[2];  // percent of this section's samples
};

// Counts from ProfileBegin (calls) and the sampler (samples); the report
// fields by ProfileReport; everything reset by ProfilerInit.
extern ProfileRecord profileRecords[PROFILE_SECTION_COUNT];
// The main thread's section stack: pushed by ProfileBegin, popped by
// ProfileEnd, read by the sampler; entry 0 is PROF_NONE (ProfilerInit).
extern std::atomic<i32> profileStack[PROFILE_STACK];
extern std::atomic<i32> profileDepth;
// Section whose ProfileBegin found the stack full, else -1: set by
// ProfileBegin, which then stops profiling; cleared by ProfilerInit.
extern std::atomic<i32> profileOverflow;
extern u32 profilePeriod;  // ms between reports; set by ProfilerInit

void ProfileBegin(i32 section);
void ProfileEnd();
void ProfilerInit(u32 periodMs);
void StartProfiler();  // the sampling thread
void StopProfiler();
void ProfileReport();  // one report pass (the sampler runs it every period)
