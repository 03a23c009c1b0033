// The few platform services the launcher's core asks for, on a system that is
// not Windows: the C heap, and the locale of a Windows whose ANSI code page is
// the checker's (--codepage): lead bytes for the double-byte pages.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "code_page.h"
#include "platform/locale.h"
#include "platform/memory.h"

void* AllocateMemory(size_t bytes) { return malloc(bytes); }
void FreeMemory(void* block) { free(block); }

// A locale whose default ANSI code page is the checker's; English for 1252
// (and for a page no locale here names), which leaves the double-byte rule
// off.
uint32_t QueryThreadLocale() {
  switch (CheckerCodePage()) {
    case 932: return 0x0411;   // Japanese
    case 936: return 0x0804;   // Chinese (PRC)
    case 949: return 0x0412;   // Korean
    case 950: return 0x0404;   // Chinese (Taiwan)
    case 874: return 0x041E;   // Thai
    case 1250: return 0x0415;  // Polish
    case 1251: return 0x0419;  // Russian
    case 1253: return 0x0408;  // Greek
    case 1254: return 0x041F;  // Turkish
    case 1255: return 0x040D;  // Hebrew
    case 1256: return 0x0401;  // Arabic
    case 1257: return 0x0425;  // Estonian
    case 1258: return 0x042A;  // Vietnamese
    default: return 0x0409;    // English
  }
}
bool QueryPlatformId(uint32_t& platformId) {
  platformId = 2;  // NT
  return true;
}
int QueryDbcsEnabledMetric() { return 0; }
void QueryLocaleAnsiCodePage(uint32_t, char (&buffer)[7]) {
  memset(buffer, 0, sizeof buffer);
  snprintf(buffer, sizeof buffer, "%u", CheckerCodePage() % 100000);
}
uint32_t QueryAnsiCodePage() { return CheckerCodePage(); }
// The lead byte ranges Windows gives for its double-byte code pages.
void QueryLeadByteRanges(uint32_t codePage, unsigned char (&ranges)[12]) {
  memset(ranges, 0, sizeof ranges);
  if (codePage == 932) {
    const unsigned char japanese[] = {0x81, 0x9F, 0xE0, 0xFC};
    memcpy(ranges, japanese, sizeof japanese);
  } else if (codePage == 936 || codePage == 949 || codePage == 950) {
    ranges[0] = 0x81;
    ranges[1] = 0xFE;
  }
}
