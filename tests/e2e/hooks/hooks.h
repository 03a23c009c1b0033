// Test-only stand-ins for a few platform modules: they wrap the real module
// (compiled in under another name) and add a way for a test to make the
// system fail there. Linked only into build/<preset>/test-hooks/Start.exe.
#pragma once

#include "platform/windows/windows_api.h"

// An access violation, as a damaged disc or a bad pointer would give.
[[noreturn]] inline void RaiseAccessViolation() {
  *static_cast<volatile int*>(nullptr) = 0;
  __builtin_unreachable();
}

// Where `marker` first occurs in `text`, or null.
inline const char* Find(const char* text, const char* marker) {
  for (; text && *text; ++text) {
    const char* a = text;
    const char* b = marker;
    while (*b && *a == *b) ++a, ++b;
    if (!*b) return text;
  }
  return nullptr;
}

inline bool Contains(const char* text, const char* marker) { return Find(text, marker) != nullptr; }

// A thread of the process's own that faults, and whose fault its own handler
// takes (as a shell or COM worker's handler would): it ends the thread. The
// launcher's handlers must leave it to that handler.
inline DWORD faultingThread = 0;

[[noreturn]] inline void EndThisThread() { ExitThread(0); }

inline LONG WINAPI EndFaultingThread(EXCEPTION_POINTERS* info) {
  if (GetCurrentThreadId() != faultingThread) return EXCEPTION_CONTINUE_SEARCH;
  // Go on in EndThisThread, as if it had been called at the fault.
  CONTEXT* context = info->ContextRecord;
#ifdef _WIN64
  context->Rsp = (context->Rsp & ~DWORD64{15}) - 8;
  context->Rip = reinterpret_cast<DWORD64>(&EndThisThread);
#else
  context->Esp = (context->Esp & ~DWORD{15}) - 4;
  context->Eip = reinterpret_cast<DWORD>(&EndThisThread);
#endif
  return EXCEPTION_CONTINUE_EXECUTION;
}

inline DWORD WINAPI FaultingThreadBody(void*) { RaiseAccessViolation(); }

// Runs such a thread to its end, from the calling thread.
inline void FaultInAnotherThread() {
  void* handler = AddVectoredExceptionHandler(0, EndFaultingThread);
  HANDLE thread = CreateThread(nullptr, 0, FaultingThreadBody, nullptr, 0, &faultingThread);
  if (thread) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  RemoveVectoredExceptionHandler(handler);
}
