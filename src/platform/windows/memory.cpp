#include "platform/memory.h"

#include "platform/windows/windows_api.h"

// The process heap, through the two calls that need no heap handle.
void* AllocateMemory(size_t bytes) { return LocalAlloc(LMEM_FIXED, bytes); }

void FreeMemory(void* block) { LocalFree(block); }
