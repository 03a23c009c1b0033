#include "platform/fault_guard.h"

#include "platform/windows/thread_block.h"

namespace {

struct Guard {
  void* resume[5];           // for __builtin_setjmp
  const char* stackAnchor;   // a byte inside RunGuarded's own frame
  DWORD thread;              // the thread that armed it, the only one it takes
#ifndef _WIN64
  void* handlerChain;        // 32-bit frame-based handlers live on the stack
#endif
};

Guard* volatile armedGuard = nullptr;
Guard* volatile trippedGuard = nullptr;
void (*lastResortReport)(const FaultRecord&) = nullptr;
// The thread that runs the launcher's sequence. A shell or COM worker, or a
// thread another program put into the process, is not the launcher's: its
// faults go on to their own handlers and to Windows.
DWORD launcherThread = 0;

// Errors the system reports (severity "error", not an application's own
// exception code): access violations, pages that cannot be read, and so on.
bool IsSystemFault(DWORD code) { return (code & 0xF0000000u) == 0xC0000000u; }

FaultRecord RecordOf(const EXCEPTION_RECORD& exception) {
  FaultRecord fault;
  fault.code = exception.ExceptionCode;
  fault.address = exception.ExceptionAddress;
  fault.parameterCount = exception.NumberParameters < 2 ? exception.NumberParameters : 2;
  for (size_t i = 0; i < fault.parameterCount; ++i) {
    fault.parameters[i] = exception.ExceptionInformation[i];
  }
  return fault;
}

#ifndef _WIN64
// The head of the thread's handler chain is the first word of its
// information block, at fs:0.
void* HandlerChainHead() {
  void* head;
  __asm__ volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}
void SetHandlerChainHead(void* head) { __asm__ volatile("movl %0, %%fs:0" : : "r"(head) : "memory"); }
#endif

// A fault in the launcher's own code: no one else could handle it.
HMODULE ModuleAt(const void* address) {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      static_cast<LPCSTR>(address), &module);
  return module;
}

bool InOwnImage(const void* address) {
  HMODULE module = ModuleAt(address);
  return module && module == ModuleAt(reinterpret_cast<const void*>(&ModuleAt));
}

[[noreturn]] void ReturnToGuard() { __builtin_longjmp(trippedGuard->resume, 1); }

// Sees every fault first, before any handler on the stack.
LONG WINAPI OnFault(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD& exception = *info->ExceptionRecord;
  if (!IsSystemFault(exception.ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
  DWORD thread = CurrentThreadId();
  Guard* guard = armedGuard;
  if (guard && guard->thread != thread) return EXCEPTION_CONTINUE_SEARCH;
  if (!guard) {
    // The launcher has no handlers of its own, and the 64-bit build carries
    // no unwind tables for Windows to find one through; so its own faults
    // are reported here. Faults in other modules go on to their handlers,
    // and to OnUnhandledFault when none takes them.
    if (lastResortReport && thread == launcherThread && InOwnImage(exception.ExceptionAddress)) {
      lastResortReport(RecordOf(exception));
    }
    return EXCEPTION_CONTINUE_SEARCH;
  }
  armedGuard = nullptr;
  trippedGuard = guard;
  // Go on in ReturnToGuard, on stack just below the guard's frame: the frames
  // between are abandoned, and after a stack overflow they have no room left.
  uintptr_t stack = (reinterpret_cast<uintptr_t>(guard->stackAnchor) - 1024) & ~uintptr_t{15};
  CONTEXT* context = info->ContextRecord;
#ifdef _WIN64
  context->Rsp = stack - 8;  // as if ReturnToGuard had been called
  context->Rip = reinterpret_cast<DWORD64>(&ReturnToGuard);
#else
  context->Esp = stack - 4;
  context->Eip = reinterpret_cast<DWORD>(&ReturnToGuard);
#endif
  return EXCEPTION_CONTINUE_EXECUTION;
}

LONG WINAPI OnUnhandledFault(EXCEPTION_POINTERS* info) {
  if (lastResortReport && CurrentThreadId() == launcherThread) {
    lastResortReport(RecordOf(*info->ExceptionRecord));
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

// Built for general registers: the launcher keeps nothing in the vector
// registers a call preserves (a build check sees to it), so the setjmp
// below need not save them.
__attribute__((noipa, target("general-regs-only"))) bool RunGuarded(void (*body)(void*),
                                                                   void* context) {
  Guard guard;
  guard.stackAnchor = reinterpret_cast<const char*>(&guard);
  guard.thread = CurrentThreadId();
#ifndef _WIN64
  guard.handlerChain = HandlerChainHead();
#endif
  volatile bool completed = false;
  if (__builtin_setjmp(guard.resume) == 0) {
    armedGuard = &guard;
    body(context);
    armedGuard = nullptr;
    completed = true;
  } else {
#ifndef _WIN64
    // The abandoned frames' handlers must not stay chained.
    SetHandlerChainHead(guard.handlerChain);
#endif
  }
  return completed;
}

void InstallFaultHandlers(void (*report)(const FaultRecord& fault)) {
  lastResortReport = report;
  launcherThread = CurrentThreadId();
  AddVectoredExceptionHandler(1, OnFault);
  SetUnhandledExceptionFilter(OnUnhandledFault);
}
