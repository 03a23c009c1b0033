/* A stand-in target for end-to-end runs: appends what it was started with
   (its own path, its current directory and its command line) as one line,
   tab-separated, to the file named by START_RECORD. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

static void Append(HANDLE file, const char* text) {
  DWORD written = 0;
  WriteFile(file, text, lstrlenA(text), &written, NULL);
}

int main(void) {
  char record[32768];
  if (!GetEnvironmentVariableA("START_RECORD", record, sizeof record)) return 2;
  char program[32768] = "";
  GetModuleFileNameA(NULL, program, sizeof program);
  char directory[32768] = "";
  GetCurrentDirectoryA(sizeof directory, directory);

  HANDLE file = CreateFileA(record, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return 3;
  /* One write, so that records of processes running at once never mix. */
  static char line[3 * 32768 + 4];
  lstrcpyA(line, program);
  lstrcatA(line, "\t");
  lstrcatA(line, directory);
  lstrcatA(line, "\t");
  lstrcatA(line, GetCommandLineA());
  lstrcatA(line, "\n");
  Append(file, line);
  CloseHandle(file);
  return 0;
}
