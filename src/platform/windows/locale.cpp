#include "platform/locale.h"

#include "platform/windows/system_library.h"

uint32_t QueryThreadLocale() { return GetThreadLocale(); }

bool QueryPlatformId(uint32_t& platformId) {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;  // 148
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&version)) return false;
#pragma GCC diagnostic pop
  platformId = version.dwPlatformId;
  return true;
}

int QueryDbcsEnabledMetric() {
  // Asked only on systems older than NT, so user32 stays unloaded on every
  // system the launcher meets today.
  using GetSystemMetricsFunction = int(WINAPI*)(int);
  auto getSystemMetrics =
      SystemFunction<GetSystemMetricsFunction>(LoadSystemLibrary("user32.dll"), "GetSystemMetrics");
  return getSystemMetrics ? getSystemMetrics(SM_DBCSENABLED) : 0;
}

void QueryLocaleAnsiCodePage(uint32_t locale, char (&buffer)[7]) {
  for (char& byte : buffer) byte = 0;
  GetLocaleInfoA(locale, LOCALE_IDEFAULTANSICODEPAGE, buffer, sizeof buffer);
}

uint32_t QueryAnsiCodePage() { return GetACP(); }

void QueryLeadByteRanges(uint32_t codePage, unsigned char (&ranges)[12]) {
  CPINFO info = {};
  GetCPInfo(codePage, &info);
  static_assert(sizeof info.LeadByte == sizeof ranges, "twelve bytes, six ranges");
  for (size_t i = 0; i < sizeof ranges; ++i) ranges[i] = info.LeadByte[i];
}
