// Words of the calling thread's information block, read where the system's
// own GetCurrentThreadId and GetLastError read them, so that the launcher
// needs no import for either (its import tables stay within one file block).
#pragma once

#include "platform/windows/windows_api.h"

/// The 32-bit word at `offset64` (x64, from gs) or `offset32` (x86, from fs).
template <unsigned offset64, unsigned offset32>
inline DWORD ThreadBlockWord() {
  DWORD word;
#ifdef _WIN64
  __asm__("movl %%gs:%c1, %0" : "=r"(word) : "i"(offset64));
#else
  __asm__("movl %%fs:%c1, %0" : "=r"(word) : "i"(offset32));
#endif
  return word;
}

/// GetCurrentThreadId: the client id's thread.
inline DWORD CurrentThreadId() { return ThreadBlockWord<0x48, 0x24>(); }
/// GetLastError: the thread's last error value.
inline DWORD LastErrorValue() { return ThreadBlockWord<0x68, 0x34>(); }
