#include "startup/failure_report.h"

#include "paths/path_names.h"
#include "platform/error_box.h"
#include "platform/module_file.h"
#include "platform/process_exit.h"

namespace {

struct Writer {
  char* buffer;
  size_t size;
  size_t length = 0;

  void Put(char byte) {
    if (length + 1 < size) buffer[length++] = byte;
  }
  void Put(TextView text) {
    for (size_t i = 1; i <= text.length; ++i) Put(static_cast<char>(text.At(i)));
  }
  void PutHex(size_t value) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (int shift = static_cast<int>(sizeof value * 8) - 4; shift >= 0; shift -= 4) {
      Put(kDigits[(value >> shift) & 0xF]);
    }
  }
};

}  // namespace

size_t FormatFailureText(char* buffer, size_t size, const char* kindName, TextView moduleName,
                         size_t offset, const char* message) {
  if (size == 0) return 0;
  Writer out{buffer, size};
  TextView messageText(message);
  out.Put("Exception ");
  out.Put(kindName);
  out.Put(" in module ");
  out.Put(moduleName);
  out.Put(" at ");
  out.PutHex(offset);
  out.Put(".\r\n");
  out.Put(messageText);
  if (!messageText.Empty() && messageText.At(messageText.length) != '.') out.Put('.');
  out.Put("\r\n");
  buffer[out.length] = 0;
  return out.length;
}

void ReportFatalFailure(const char* kindName, const char* message, const void* address) {
  char moduleFile[300];
  size_t offset = 0;
  size_t length = QueryModuleFileOfAddress(address, moduleFile, sizeof moduleFile, offset);
  char text[1024];
  FormatFailureText(text, sizeof text, kindName, NamePart(TextView(moduleFile, length)), offset,
                    message);
  ShowErrorBox(kFailureBoxTitle, text);
  EndProcess(1);
}

__attribute__((noinline)) void FailOutOfMemory() {
  ReportFatalFailure("OutOfMemory", "Out of memory", __builtin_return_address(0));
}
