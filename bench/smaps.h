#pragma once
// The process's own memory as the system describes it (/proc/self/smaps and smaps_rollup):
// the figures bench_window reports. Linux only; elsewhere every figure is 0.
#include <functional>
#include <string>

// The whole process, in kB.
struct MemoryFigures
{
    long ResidentKb = 0;  // Rss: every page in memory, shared file pages included
    long ProportionalKb = 0; // Pss: shared pages divided among the processes that map them
    long AnonymousKb = 0; // Anonymous: pages that exist nowhere else (heap, stacks, written copies)
};

// One read of /proc/self/smaps_rollup.
MemoryFigures ReadMemoryFigures();

struct MappedRegion
{
    std::string Path; // the file, a name such as "[heap]", or empty for anonymous memory
    long ResidentKb = 0;
    long AnonymousKb = 0;
};

// Calls visit for each mapping of /proc/self/smaps, in address order.
void VisitMappings(const std::function<void(const MappedRegion&)>& visit);
