// The few platform services the launcher's core asks for, on a system that is
// not Windows: the C heap, and the locale of a western Windows (paths are
// single-byte texts; no lead bytes).
#include <stdlib.h>
#include <string.h>

#include "platform/locale.h"
#include "platform/memory.h"

void* AllocateMemory(size_t bytes) { return malloc(bytes); }
void FreeMemory(void* block) { free(block); }

uint32_t QueryThreadLocale() { return 0x0409; }
bool QueryPlatformId(uint32_t& platformId) {
  platformId = 2;  // NT
  return true;
}
int QueryDbcsEnabledMetric() { return 0; }
void QueryLocaleAnsiCodePage(uint32_t, char (&buffer)[7]) { memcpy(buffer, "1252\0\0", 7); }
uint32_t QueryAnsiCodePage() { return 1252; }
void QueryLeadByteRanges(uint32_t, unsigned char (&ranges)[12]) { memset(ranges, 0, sizeof ranges); }
