// The process heap. The launcher links no C runtime, so this is its only
// allocator.
#pragma once

#include <stddef.h>

/// Null when memory is exhausted.
void* AllocateMemory(size_t bytes);
void FreeMemory(void* block);
