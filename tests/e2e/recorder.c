/* A stand-in target for end-to-end runs: appends what it was started with
   (its own path, its current directory and its command line) as one line,
   tab-separated, in UTF-8, to the file named by START_RECORD. Everything is
   read with the wide calls, so that a name the ANSI code page cannot spell is
   seen as it is, not as "?"; the two paths are given in their long form, so
   that a program started through a short (8.3) name shows where it is. The
   command line is recorded exactly as received. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

enum { kLongest = 32768 };

static wchar_t line[3 * kLongest + 4];
static char utf8[4 * (3 * kLongest + 4)];

int main(void) {
  wchar_t record[kLongest];
  if (!GetEnvironmentVariableW(L"START_RECORD", record, kLongest)) return 2;
  wchar_t path[kLongest] = L"";
  wchar_t program[kLongest] = L"";
  GetModuleFileNameW(NULL, path, kLongest);
  if (!GetLongPathNameW(path, program, kLongest)) lstrcpyW(program, path);
  wchar_t directory[kLongest] = L"";
  GetCurrentDirectoryW(kLongest, path);
  if (!GetLongPathNameW(path, directory, kLongest)) lstrcpyW(directory, path);

  lstrcpyW(line, program);
  lstrcatW(line, L"\t");
  lstrcatW(line, directory);
  lstrcatW(line, L"\t");
  lstrcatW(line, GetCommandLineW());
  lstrcatW(line, L"\n");
  int bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8, NULL, NULL);
  if (bytes <= 1) return 4;

  HANDLE file = CreateFileW(record, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return 3;
  /* One write, so that records of processes running at once never mix. */
  DWORD written = 0;
  WriteFile(file, utf8, (DWORD)(bytes - 1), &written, NULL);
  CloseHandle(file);
  return 0;
}
