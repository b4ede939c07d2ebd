#pragma once
// Giving freed heap memory back to the operating system after a large block has gone.

// Returns what the allocator holds free to the system, where the C library can (glibc's
// malloc_trim); elsewhere it does nothing.
void ReturnFreedMemory();
