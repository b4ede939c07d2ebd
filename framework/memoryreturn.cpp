#include "framework/memoryreturn.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <cstdio>
#include <cstring>
#include <sys/mman.h>
#include <vector>
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
    bool ReadOnlyFile = false; // not writable, backed by an ordinary file
    long AnonymousKb = -1;     // copied-on-write pages: their contents exist nowhere else
    long LockedKb = 0;
    long ResidentKb = 0;
};

// Only mappings that no one can have written are safe to drop: a private page that was
// written (relocations sealed read-only afterwards, a debugger's breakpoint) exists only in
// this process.
bool Droppable(const FileMapping& m)
{
    return m.ReadOnlyFile && m.AnonymousKb == 0 && m.LockedKb == 0 && m.ResidentKb > 0;
}

} // namespace
#endif

std::size_t ReleaseStartupPages()
{
#if defined(__linux__)
    std::FILE* smaps = std::fopen("/proc/self/smaps", "re");
    if (!smaps) return 0;
    std::vector<FileMapping> found;
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
        // ("Rss:   12 kB") follow it.
        if (std::sscanf(line, "%lx-%lx %7s %*s %*s %*s %n", &start, &end, perms, &pathAt) >= 3) {
            const char* path = line + pathAt;
            FileMapping m;
            m.Start = start;
            m.End = end;
            // Devices and shared-memory files are left alone: their pages are not a file's.
            m.ReadOnlyFile = whole && end > start && pathAt > 0 && perms[0] == 'r' &&
                             perms[1] == '-' && path[0] == '/' &&
                             std::strncmp(path, "/dev/", 5) != 0 &&
                             std::strncmp(path, "/memfd:", 7) != 0 &&
                             std::strncmp(path, "/SYSV", 5) != 0;
            found.push_back(m);
            continue;
        }
        if (found.empty()) continue;
        long kb = 0;
        if (std::sscanf(line, "Anonymous: %ld", &kb) == 1) found.back().AnonymousKb = kb;
        else if (std::sscanf(line, "Locked: %ld", &kb) == 1) found.back().LockedKb = kb;
        else if (std::sscanf(line, "Rss: %ld", &kb) == 1) found.back().ResidentKb = kb;
    }
    std::fclose(smaps);
    // The caller's thread is the one that maps and unmaps files (see the header), so no range
    // read above can have become another mapping by now.
    std::size_t dropped = 0;
    for (const FileMapping& m : found) {
        if (!Droppable(m)) continue;
        if (::madvise(reinterpret_cast<void*>(m.Start), m.End - m.Start, MADV_DONTNEED) == 0)
            dropped += std::size_t(m.ResidentKb) * 1024;
    }
    return dropped;
#else
    return 0;
#endif
}
