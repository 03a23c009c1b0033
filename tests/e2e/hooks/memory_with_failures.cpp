// The allocation numbered START_TEST_FAIL_ALLOCATION (from 0) fails.
#define AllocateMemory RealAllocateMemory
#include "platform/windows/memory.cpp"
#undef AllocateMemory

#include "hooks.h"

namespace {
long allocations = 0;
}

void* AllocateMemory(size_t bytes) {
  char number[16] = "";
  long failing = -1;
  if (GetEnvironmentVariableA("START_TEST_FAIL_ALLOCATION", number, sizeof number)) {
    failing = 0;
    for (const char* digit = number; *digit >= '0' && *digit <= '9'; ++digit) {
      failing = failing * 10 + (*digit - '0');
    }
  }
  if (allocations++ == failing) return nullptr;
  return RealAllocateMemory(bytes);
}
