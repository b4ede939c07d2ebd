#include "framework/memoryreturn.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include "framework/processmappings.h"

#include <sstream>
#include <string>
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

// VmFlags that make a mapping something other than plain file pages: device or PFN memory,
// mixed maps, huge pages, locked or userfault-managed ranges.
bool SpecialFlags(const std::string& flags)
{
    static const char* const special[] = {"io", "pf", "mm", "ht", "lo", "um", "uw", "dd"};
    std::istringstream words(flags);
    std::string flag;
    while (words >> flag)
        for (const char* s : special)
            if (flag == s) return true;
    return false;
}

// Only a private, read-only mapping of an ordinary file whose pages are all the file's may go.
// Pages the process wrote (relocations sealed read-only afterwards, a debugger's breakpoint)
// are anonymous while resident and swap once swapped out; either way their contents exist
// nowhere else. Devices and shared-memory files are left alone: their pages are not a file's.
bool Droppable(const MappedRegion& m)
{
    const auto startsWith = [&m](const char* prefix) { return m.Path.rfind(prefix, 0) == 0; };
    return m.Complete && m.End > m.Start && m.Perms.size() == 4 &&
           m.Perms.compare(0, 2, "r-") == 0 && m.Perms[3] == 'p' && startsWith("/") &&
           !startsWith("/dev/") &&
           !startsWith("/memfd:") && !startsWith("/SYSV") && m.AnonymousKb == 0 &&
           m.SwapKb == 0 && m.LockedKb == 0 && m.ResidentKb > 0 && !SpecialFlags(m.Flags);
}

} // namespace
#endif

std::size_t ReleaseStartupPages()
{
    std::size_t dropped = 0;
#if defined(__linux__)
    // Each mapping is dropped as soon as its description is complete, so the range is the one
    // just described. The caller's thread is the one that maps and unmaps files (see the
    // header), so nothing else replaces it meanwhile.
    VisitMappings([&dropped](const MappedRegion& m) {
        if (Droppable(m) && ::madvise(reinterpret_cast<void*>(m.Start), m.End - m.Start,
                                      MADV_DONTNEED) == 0)
            dropped += std::size_t(m.ResidentKb) * 1024;
    });
#endif
    return dropped;
}
