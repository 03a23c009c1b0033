#include "startup/failure_report.h"

#include "paths/path_names.h"
#include "platform/debug_output.h"
#include "platform/error_box.h"
#include "platform/module_file.h"
#include "platform/process_exit.h"

namespace {

struct Writer {
  char* buffer;
  size_t size;
  size_t length = 0;

  void Finish() {
    if (size) buffer[length] = 0;
  }
  void Put(char byte) {
    if (length + 1 < size) buffer[length++] = byte;
  }
  void Put(const TextView& text) {
    for (size_t i = 1; i <= text.length; ++i) Put(static_cast<char>(text.At(i)));
  }
  void Put(const char* text) {
    while (*text) Put(*text++);
  }
  // Hexadecimal, upper case, `digits` wide.
  void PutHex(size_t value, int digits = sizeof(size_t) * 2) {
    for (int shift = digits * 4 - 4; shift >= 0; shift -= 4) {
      unsigned digit = (value >> shift) & 0xF;
      Put(static_cast<char>(digit < 10 ? '0' + digit : 'A' + digit - 10));
    }
  }
};

struct FaultKind {
  const char* name;
  const char* message;
};

// The faults worth a name of their own; any other code is shown as a number.
// (A switch, not a table: a table of pointers would need relocating.)
bool KnownFault(uint32_t code, FaultKind& kind) {
  switch (code) {
    case 0xC0000005: kind = {"AccessViolation", "Access violation"}; return true;
    case 0xC0000006: kind = {"InPageError", "In-page error"}; return true;
    case 0xC00000FD: kind = {"StackOverflow", "Stack overflow"}; return true;
    case 0xC0000094: kind = {"IntegerDivideByZero", "Integer division by zero"}; return true;
    case 0xC000001D: kind = {"IllegalInstruction", "Illegal instruction"}; return true;
    case 0xC0000096: kind = {"PrivilegedInstruction", "Privileged instruction"}; return true;
    default: return false;
  }
}

}  // namespace

size_t FormatFailureText(char* buffer, size_t size, const char* kindName, const TextView& moduleName,
                         size_t offset, const char* message) {
  if (size == 0) return 0;
  Writer out{buffer, size};
  out.Put("Exception ");
  out.Put(kindName);
  out.Put(" in module ");
  out.Put(moduleName);
  out.Put(" at ");
  out.PutHex(offset);
  out.Put(".\r\n");
  size_t messageStart = out.length;
  out.Put(message);
  if (out.length > messageStart && buffer[out.length - 1] != '.') out.Put('.');
  out.Put("\r\n");
  out.Finish();
  return out.length;
}

const char* DescribeFault(const FaultRecord& fault, char* message, size_t size) {
  Writer out{message, size};
  FaultKind kind;
  if (KnownFault(fault.code, kind)) {
    out.Put(kind.message);
    // Both carry what was done and where: 0 read, 1 write, 8 execute.
    if ((fault.code == 0xC0000005 || fault.code == 0xC0000006) && fault.parameterCount >= 2) {
      uintptr_t operation = fault.parameters[0];
      out.Put(operation == 1 ? " writing" : operation == 8 ? " executing" : " reading");
      out.Put(" address ");
      out.PutHex(fault.parameters[1]);
    }
    out.Finish();
    return kind.name;
  }
  out.Put("System exception ");
  out.PutHex(fault.code, 8);
  out.Finish();
  return "SystemException";
}

void ReportFatalFault(const FaultRecord& fault) {
  char message[128];
  const char* kindName = DescribeFault(fault, message, sizeof message);
  ReportFatalFailure(kindName, message, fault.address);
}

void ReportFatalFailure(const char* kindName, const char* message, const void* address) {
  char moduleFile[300];
  size_t offset = 0;
  size_t length = QueryModuleFileOfAddress(address, moduleFile, sizeof moduleFile, offset);
  char text[1024];
  FormatFailureText(text, sizeof text, kindName, NamePart(TextView(moduleFile, length)), offset,
                    message);
  // A debugger, or a run under Wine with +debugstr, learns why too.
  WriteDebugText(text);
  ShowErrorBox(kFailureBoxTitle, text);
  EndProcess(1);
}

__attribute__((noinline)) void FailOutOfMemory() {
  ReportFatalFailure("OutOfMemory", "Out of memory", __builtin_return_address(0));
}
