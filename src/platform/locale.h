// Locale and code page queries, asked once at start to settle whether path
// texts are double-byte texts.
#pragma once

#include <stddef.h>
#include <stdint.h>

/// GetThreadLocale.
uint32_t QueryThreadLocale();
/// GetVersionExA: false when the call fails, else the dwPlatformId.
bool QueryPlatformId(uint32_t& platformId);
/// GetSystemMetrics(SM_DBCSENABLED).
int QueryDbcsEnabledMetric();
/// GetLocaleInfoA(locale, LOCALE_IDEFAULTANSICODEPAGE) into 7 bytes. The
/// buffer is zeroed first, so a failed call leaves no stale bytes.
void QueryLocaleAnsiCodePage(uint32_t locale, char (&buffer)[7]);
/// GetACP.
uint32_t QueryAnsiCodePage();
/// The LeadByte ranges of GetCPInfo for a code page: up to six (first, last)
/// pairs. All zero when the call fails.
void QueryLeadByteRanges(uint32_t codePage, unsigned char (&ranges)[12]);
