#include "platform/memory.h"

#include "platform/windows/windows_api.h"

void* AllocateMemory(size_t bytes) { return HeapAlloc(GetProcessHeap(), 0, bytes); }

void FreeMemory(void* block) { HeapFree(GetProcessHeap(), 0, block); }
