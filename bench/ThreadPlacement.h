#pragma once

#include <benchmark/benchmark.h>
#include <sched.h>

// Where a benchmark's client thread and the threads of its peer run. A loopback
// round trip costs what waking the other side costs, and on this kind of
// machine that ranges from a few to hundreds of microseconds with where the
// scheduler puts the two sides; figures are only comparable under one
// placement. Anywhere: as the scheduler likes; SeparateCpus: the client on one
// CPU, the peer on another (as with a basestation of its own); OneCpu: both on
// one CPU, where a round trip is two task switches and the CPU time of both
// sides counts in full.
enum Placement { Anywhere, SeparateCpus, OneCpu };

// Made before the peer starts its threads, which take the peer's CPU from the
// calling thread; client() then moves the calling thread to the client's CPU.
// The calling thread's CPUs come back on destruction.
class ThreadPlacement {
public:
    explicit ThreadPlacement(const benchmark::State& state)
        : placement_(static_cast<Placement>(state.range(0))) {
        sched_getaffinity(0, sizeof original_, &original_);
        if (placement_ != Anywhere) pin(placement_ == SeparateCpus ? 1 : 0);
    }
    ~ThreadPlacement() { sched_setaffinity(0, sizeof original_, &original_); }
    ThreadPlacement(const ThreadPlacement&) = delete;
    ThreadPlacement& operator=(const ThreadPlacement&) = delete;

    void client() {
        if (placement_ == SeparateCpus) pin(0);
    }

    // The benchmark's argument "placement" takes each placement this
    // process's CPUs allow.
    static void each(benchmark::internal::Benchmark* b) {
        cpu_set_t cpus;
        sched_getaffinity(0, sizeof cpus, &cpus);
        b->ArgName("placement")->Arg(Anywhere);
        if (CPU_COUNT(&cpus) > 1) b->Arg(SeparateCpus);
        b->Arg(OneCpu);
    }

private:
    // To the k-th CPU the thread had.
    void pin(int k) {
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (!CPU_ISSET(cpu, &original_) || k-- > 0) continue;
            cpu_set_t one;
            CPU_ZERO(&one);
            CPU_SET(cpu, &one);
            sched_setaffinity(0, sizeof one, &one);
            return;
        }
    }

    Placement placement_;
    cpu_set_t original_;
};
