#include "platform/process_exit.h"

#include "platform/windows/windows_api.h"

void EndProcess(unsigned exitCode) { ExitProcess(exitCode); }
