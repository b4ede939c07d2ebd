#pragma once
// The process's own memory mappings as the system describes them (/proc/self/smaps): what
// the start-up trim drops, and what the bench and the tests look at.
#include <functional>
#include <string>

struct MappedRegion
{
    unsigned long Start = 0;
    unsigned long End = 0;
    std::string Perms; // "r-xp": read, write, execute, private or shared
    std::string Path;  // the file, a name such as "[heap]", or empty for anonymous memory
    long ResidentKb = 0;
    long AnonymousKb = -1; // -1 when the system did not say
    long SwapKb = -1;
    long LockedKb = 0;
    std::string Flags; // VmFlags, two letters each, space-separated
    // False when the mapping's line was longer than could be read whole: its fields above may
    // belong to a cut-off line and are not to be trusted.
    bool Complete = true;
};

// Calls visit for each mapping as soon as its whole description has been read, in address
// order. Linux only; elsewhere visit is never called.
void VisitMappings(const std::function<void(const MappedRegion&)>& visit);
