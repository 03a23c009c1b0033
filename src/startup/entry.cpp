// The launcher's entry point. No C runtime runs before it: there are no
// arguments to read and no global constructors to run.
#include "paths/double_byte_text.h"
#include "platform/dll_search.h"
#include "platform/fault_guard.h"
#include "platform/process_exit.h"
#include "startup/failure_report.h"
#include "startup/startup_sequence.h"

extern "C" __attribute__((force_align_arg_pointer, noreturn)) void StartupEntry() {
  // Before anything can load a DLL: none may come from the media's folder.
  RestrictDllSearch();
  InstallFaultHandlers(ReportFatalFault);
  DetectDoubleByteText();
  EndProcess(static_cast<unsigned>(RunStartupSequence()));
}
