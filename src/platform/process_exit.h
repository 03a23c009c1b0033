// Ending the process.
#pragma once

/// ExitProcess.
[[noreturn]] void EndProcess(unsigned exitCode);
