/* The least a launch can cost: the same CreateProcessA call Start.exe makes
 * for its default target, and nothing else. No C runtime, no checks, no
 * settings. Built with -DBENCH_TARGET it is instead the started program,
 * which only ends. */
#include <windows.h>

#ifdef BENCH_TARGET

void BenchEntry(void) { ExitProcess(0); }

#else

/* Static, so zeroed without a memset (there is no C runtime to call). */
static char modulePath[32768];
static char commandLine[32768 + 32];
static char directory[32768 + 16];
static STARTUPINFOA startup;
static PROCESS_INFORMATION process;

static char* Append(char* to, const char* text) {
  while (*text) *to++ = *text++;
  *to = '\0';
  return to;
}

void BenchEntry(void) {
  DWORD length = GetModuleFileNameA(NULL, modulePath, sizeof modulePath);
  DWORD name = length;
  while (name > 0 && modulePath[name - 1] != '\\') --name;

  /* "<folder>\..\Installer\<own name>", run in "<folder>\..\Installer". */
  char* end = commandLine;
  for (DWORD i = 0; i < name; ++i) *end++ = modulePath[i];
  end = Append(end, "..\\Installer");
  for (char *from = commandLine, *to = directory; from <= end; ++from, ++to) *to = *from;
  end = Append(end, "\\");
  Append(end, modulePath + name);

  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  CreateProcessA(NULL, commandLine, NULL, NULL, FALSE,
                 CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS | CREATE_NEW_PROCESS_GROUP, NULL,
                 directory, &startup, &process);
  ExitProcess(0);
}

#endif
