#pragma once
// Giving memory back to the operating system: freed heap after a large block has gone, and
// the pages start-up read once and never again.
#include <cstddef>

// Returns what the allocator holds free to the system, where the C library can (glibc's
// malloc_trim); elsewhere it does nothing.
void ReturnFreedMemory();

// Drops from the process's resident set the pages of files it maps privately and read-only
// and has never written (none of the mapping's pages anonymous or in swap, nothing locked, no
// device or huge-page flags): the dynamic loader's symbol and relocation tables, code run only
// at start-up, the glyph outlines a font's hinter scanned once. They stay in the system's page
// cache and come back on the next touch, at the cost of a minor fault. Returns the bytes
// dropped (Linux only; 0 elsewhere). Call it on the thread that opens and closes fonts and
// plugins (the window thread): a mapping another thread unmapped meanwhile could have been
// replaced by memory that exists nowhere else.
std::size_t ReleaseStartupPages();
