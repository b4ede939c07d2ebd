#include "framework/memoryreturn.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <cstdio>
#include <cstring>
#include <sys/mman.h>
#endif

void ReturnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

#if defined(__linux__)
namespace {

struct FileMapping
{
    unsigned long Start = 0;
    unsigned long End = 0;
    bool ReadOnlyFile = false; // private, not writable, backed by an ordinary file
    // Pages the process wrote (relocations sealed read-only afterwards, a debugger's
    // breakpoint) are anonymous while resident and swap once swapped out; either way their
    // contents exist nowhere else. -1 until the field is read.
    long AnonymousKb = -1;
    long SwapKb = -1;
    long LockedKb = 0;
    long ResidentKb = 0;
};

bool Droppable(const FileMapping& m)
{
    return m.ReadOnlyFile && m.AnonymousKb == 0 && m.SwapKb == 0 && m.LockedKb == 0 &&
           m.ResidentKb > 0;
}

// VmFlags that make a mapping something other than plain file pages: device or PFN memory,
// mixed maps, huge pages, locked or userfault-managed ranges.
bool SpecialFlags(const char* flags)
{
    static const char* const special[] = {"io", "pf", "mm", "ht", "lo", "um", "uw", "dd"};
    char flag[8];
    int used = 0;
    while (std::sscanf(flags, " %7s%n", flag, &used) == 1) {
        for (const char* s : special)
            if (std::strcmp(flag, s) == 0) return true;
        flags += used;
    }
    return false;
}

} // namespace
#endif

std::size_t ReleaseStartupPages()
{
#if defined(__linux__)
    std::FILE* smaps = std::fopen("/proc/self/smaps", "re");
    if (!smaps) return 0;
    FileMapping current;
    bool inMapping = false;
    std::size_t dropped = 0;
    char line[4096];
    while (std::fgets(line, sizeof line, smaps)) {
        // A line longer than the buffer (a mapping with a very long path) is read to its end,
        // and its mapping is never dropped.
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
            const char* path = line + pathAt;
            current = FileMapping{};
            current.Start = start;
            current.End = end;
            // Devices and shared-memory files are left alone: their pages are not a file's.
            current.ReadOnlyFile = whole && end > start && pathAt > 0 &&
                                   std::strncmp(perms, "r-", 2) == 0 && perms[3] == 'p' &&
                                   path[0] == '/' && std::strncmp(path, "/dev/", 5) != 0 &&
                                   std::strncmp(path, "/memfd:", 7) != 0 &&
                                   std::strncmp(path, "/SYSV", 5) != 0;
            inMapping = true;
            continue;
        }
        if (!inMapping) continue;
        long kb = 0;
        if (std::sscanf(line, "Anonymous: %ld", &kb) == 1) current.AnonymousKb = kb;
        else if (std::sscanf(line, "Swap: %ld", &kb) == 1) current.SwapKb = kb;
        else if (std::sscanf(line, "Locked: %ld", &kb) == 1) current.LockedKb = kb;
        else if (std::sscanf(line, "Rss: %ld", &kb) == 1) current.ResidentKb = kb;
        else if (std::strncmp(line, "VmFlags:", 8) == 0) {
            inMapping = false;
            // Dropped as soon as its description is complete, so the range is the one just
            // described. The caller's thread is the one that maps and unmaps files (see the
            // header), so nothing else replaces it meanwhile.
            if (whole && Droppable(current) && !SpecialFlags(line + 8) &&
                ::madvise(reinterpret_cast<void*>(current.Start), current.End - current.Start,
                          MADV_DONTNEED) == 0)
                dropped += std::size_t(current.ResidentKb) * 1024;
        }
    }
    std::fclose(smaps);
    return dropped;
#else
    return 0;
#endif
}
