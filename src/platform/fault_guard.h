// Faults the operating system reports (an access violation, a page of the
// media that cannot be read): surviving them where the launcher can go on,
// and reporting them where it cannot.
#pragma once

#include <stddef.h>
#include <stdint.h>

/// What the system said about a fault.
struct FaultRecord {
  uint32_t code = 0;                 // the exception code, such as 0xC0000005
  const void* address = nullptr;     // the instruction that faulted
  size_t parameterCount = 0;
  uintptr_t parameters[2] = {0, 0};  // for an access violation: read/write, and the address
};

/// Installs the handlers that RunGuarded relies on, and has `report` called
/// for a fault that nothing else handles on the calling thread, the
/// launcher's own; `report` ends the process. Faults of other threads go on
/// to Windows' own handling. Once, at start.
void InstallFaultHandlers(void (*report)(const FaultRecord& fault));

/// Runs `body(context)`. True when it returned; false when a fault on the
/// calling thread abandoned it: the body's frames are left as they were at the fault (nothing in them
/// is cleaned up) and this returns instead.
bool RunGuarded(void (*body)(void* context), void* context);
