#include "smaps.h"

#include <cstdio>
#include <cstring>

namespace {

// Reads "Name:   12 kB" lines of one of the process's smaps files, calling field for each and
// mapping for each mapping's own line ("start-end perms offset device inode path").
void ReadSmaps(const char* path, const std::function<void(const char* name, long kb)>& field,
               const std::function<void(std::string path)>& mapping)
{
#if defined(__linux__)
    std::FILE* smaps = std::fopen(path, "re");
    if (!smaps) return;
    char line[4096];
    while (std::fgets(line, sizeof line, smaps)) {
        if (!std::strchr(line, '\n')) { // a very long path: skip the rest of the line
            int c = 0;
            while ((c = std::fgetc(smaps)) != EOF && c != '\n') {
            }
        }
        unsigned long start = 0, end = 0;
        int pathAt = 0;
        if (std::sscanf(line, "%lx-%lx %*s %*s %*s %*s %n", &start, &end, &pathAt) >= 2) {
            mapping(pathAt > 0 ? std::string(line + pathAt, std::strcspn(line + pathAt, "\n"))
                               : std::string());
            continue;
        }
        char name[64];
        long kb = 0;
        if (std::sscanf(line, "%63[^:]: %ld kB", name, &kb) == 2) field(name, kb);
    }
    std::fclose(smaps);
#else
    (void)path;
    (void)field;
    (void)mapping;
#endif
}

} // namespace

MemoryFigures ReadMemoryFigures()
{
    MemoryFigures figures;
    ReadSmaps(
        "/proc/self/smaps_rollup",
        [&figures](const char* name, long kb) {
            if (std::strcmp(name, "Rss") == 0) figures.ResidentKb = kb;
            else if (std::strcmp(name, "Pss") == 0) figures.ProportionalKb = kb;
            else if (std::strcmp(name, "Anonymous") == 0) figures.AnonymousKb = kb;
        },
        [](std::string) {});
    return figures;
}

void VisitMappings(const std::function<void(const MappedRegion&)>& visit)
{
    MappedRegion current;
    bool open = false;
    ReadSmaps(
        "/proc/self/smaps",
        [&current](const char* name, long kb) {
            if (std::strcmp(name, "Rss") == 0) current.ResidentKb = kb;
            else if (std::strcmp(name, "Anonymous") == 0) current.AnonymousKb = kb;
        },
        [&](std::string path) {
            if (open) visit(current);
            current = MappedRegion{};
            current.Path = std::move(path);
            open = true;
        });
    if (open) visit(current);
}
