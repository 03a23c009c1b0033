// Where DLLs may come from.
#pragma once

/// Limits every later DLL search of the process to System32, so that no DLL
/// beside the launcher on the media (or in the current directory) is ever
/// loaded. Carries on without it where the system lacks the call.
void RestrictDllSearch();
