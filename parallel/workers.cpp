// Worker pool: StartWorkers, RunParallel, StopWorkers.
// A worker without a job blocks on its wake counter (a futex), so it costs
// nothing between jobs and starts one within a wake-up. Polling between jobs
// was tried: a spinning worker slowed the main thread's own work between the
// jobs by up to four times on a two-core machine (allocation and page faults
// the most), for no gain in hand-off; jobs are big enough to hide a wake-up.
// The caller still yields while it waits for the workers to finish.
#include <pthread.h>
#include <chrono>
#include "parallel/parallel.h"

WorkerSlot workerSlots[MAX_THREADS];
i32 threadCount = 1;
thread_local u8 isWorkerThread;  // read by the profiler: workers are not recorded

u32 NowMs() {
    using namespace std::chrono;
    return (u32)duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

i32 ProcessorCount() {
    i32 n = (i32)std::thread::hardware_concurrency();
    return n > 0 ? n : 1;
}

static void WorkerThread(WorkerSlot* slot) {
    isWorkerThread = 1;
    pthread_setname_np(pthread_self(), "tf-worker");  // told apart in top and /proc
    slot->busy = 0;
    while (!slot->quit) {
        u32 seen = slot->wake.load();
        if (!slot->job.load() && !slot->quit) slot->wake.wait(seen);
        JobFn job = slot->job.load();
        if (!job) continue;
        slot->busy = 1;
        job(slot->index, threadCount);
        slot->job = nullptr;
        slot->busy = 0;
        slot->done = 1;  // last: the caller reads results once it sees this
    }
}

void StartWorkers(i32 maxThreads, i32 reservedCores) {
    i32 count = ProcessorCount() - reservedCores;
    if (count < 1) count = 1;
    if (maxThreads > 0 && count > maxThreads) count = maxThreads;
    if (count > MAX_THREADS) count = MAX_THREADS;
    threadCount = count;
    for (i32 i = 0; i < count; i++) {
        WorkerSlot& s = workerSlots[i];
        s.busy = 1;  // RunParallel waits for this to clear, i.e. for the thread to start
        s.index = i;
        // Cleared here, not by the worker: a StopWorkers that comes before the
        // thread first runs must not have its quit request wiped out.
        s.job = nullptr;
        s.quit = 0;
        s.done = 0;
        if (i > 0) s.thread = std::thread(WorkerThread, &s);
    }
    workerSlots[0].busy = 0;
}

void RunParallel(JobFn job) {
    i32 n = threadCount;
    for (i32 i = 1; i < n; i++)
        while (workerSlots[i].busy) std::this_thread::yield();
    for (i32 i = 1; i < n; i++) {
        workerSlots[i].job = job;
        workerSlots[i].wake++;
        workerSlots[i].wake.notify_one();
    }
    job(0, n);
    for (i32 i = 1; i < n; i++)
        while (!workerSlots[i].done) std::this_thread::yield();
    for (i32 i = 1; i < n; i++) workerSlots[i].done = 0;
}

void RunMaybeParallel(JobFn job, i32 useThreads) {
    if (useThreads)
        RunParallel(job);
    else
        job(0, 1);
}

void StopWorkers() {
    for (i32 i = 1; i < threadCount; i++) {
        workerSlots[i].quit = 1;
        workerSlots[i].wake++;
        workerSlots[i].wake.notify_one();
    }
    for (i32 i = 1; i < threadCount; i++) {
        if (workerSlots[i].thread.joinable()) workerSlots[i].thread.join();
        workerSlots[i].quit = 0;
    }
    threadCount = 1;
}
