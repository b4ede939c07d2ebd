#include "framework/processmappings.h"

#if defined(__linux__)
#include <cstdio>
#include <cstring>
#endif

void VisitMappings(const std::function<void(const MappedRegion&)>& visit)
{
#if defined(__linux__)
    std::FILE* smaps = std::fopen("/proc/self/smaps", "re");
    if (!smaps) return;
    MappedRegion current;
    bool inMapping = false;
    char line[4096];
    while (std::fgets(line, sizeof line, smaps)) {
        // A line longer than the buffer (a mapping with a very long path) is read to its end.
        const bool whole = std::strchr(line, '\n') != nullptr;
        if (!whole) {
            int c = 0;
            while ((c = std::fgetc(smaps)) != EOF && c != '\n') {
            }
        }
        unsigned long start = 0, end = 0;
        char perms[8] = {};
        int pathAt = 0;
        // A mapping's own line, "start-end perms offset device inode path"; its fields
        // ("Rss:   12 kB") follow it, VmFlags last.
        if (std::sscanf(line, "%lx-%lx %7s %*s %*s %*s %n", &start, &end, perms, &pathAt) >= 3) {
            current = MappedRegion{};
            current.Start = start;
            current.End = end;
            current.Perms = perms;
            if (pathAt > 0) current.Path.assign(line + pathAt, std::strcspn(line + pathAt, "\n"));
            current.Complete = whole;
            inMapping = true;
            continue;
        }
        if (!inMapping) continue;
        long kb = 0;
        if (std::sscanf(line, "Rss: %ld", &kb) == 1) current.ResidentKb = kb;
        else if (std::sscanf(line, "Anonymous: %ld", &kb) == 1) current.AnonymousKb = kb;
        else if (std::sscanf(line, "Swap: %ld", &kb) == 1) current.SwapKb = kb;
        else if (std::sscanf(line, "Locked: %ld", &kb) == 1) current.LockedKb = kb;
        else if (std::strncmp(line, "VmFlags:", 8) == 0) {
            current.Flags.assign(line + 8, std::strcspn(line + 8, "\n"));
            current.Complete = current.Complete && whole;
            inMapping = false;
            visit(current);
        }
    }
    std::fclose(smaps);
#else
    (void)visit;
#endif
}
