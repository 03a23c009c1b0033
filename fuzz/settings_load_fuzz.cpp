// The settings load and the launch decision over any four values, with the
// read faulting or memory running out at a chosen step: never a crash, never
// a leak, FileToRun at most 2047 bytes and dropped after a failure, flags as
// their texts say, and exactly one request.
#include <stddef.h>
#include <stdint.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "paths/double_byte_text.h"
#include "settings/integer_text.h"
#include "settings/launch_settings.h"
#include "startup/launch_request.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool FlagOf(const std::string& text) {
  std::string digits = text.substr(0, 2047);
  int32_t value = 0;
  return IntegerFromText(TextView(digits.data(), digits.size()), value) && value != 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  ResetFake();
  DetectDoubleByteText();
  const char* keys[] = {"FileToRun", "ShellExec", "BrowseForFolder", "BrowsePath"};
  // Byte 0: what fails (0-3: a read faults, 4: the flush faults, 5-10: an
  // allocation, else nothing); the rest: four values split at 0xFF bytes.
  uint8_t failure = data[0];
  std::vector<std::string> values(4);
  size_t key = 0;
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == 0xFF && key < 3) {
      ++key;
    } else {
      values[key].push_back(static_cast<char>(data[i]));
    }
  }
  // The profile service stops a value at its NUL byte.
  for (std::string& value : values) value = value.substr(0, value.find('\0'));
  const std::string ini = "C:\\CD\\Start.ini";
  Fake().AddFile(ini);
  for (size_t i = 0; i < 4; ++i) Fake().SetProfileValue(ini, "Information", keys[i], values[i]);
  if (failure < 4) Fake().faultingKey = keys[failure];
  if (failure == 4) Fake().flushFaults = true;
  if (failure >= 5 && failure <= 10) Fake().failingAllocation = failure - 4;

  {
    Text path;
    Require(path.Assign({ini.c_str()}));
    LaunchSettings settings;
    Fake().allocationCount = 0;
    LoadLaunchSettings(path, settings);
    bool memoryFailed =
        Fake().failingAllocation >= 0 && Fake().allocationCount > Fake().failingAllocation;
    bool failed = memoryFailed || !Fake().CallsNamed("fault").empty();
    Require(settings.FileToRun.Length() <= 2047);
    if (failed) Require(settings.FileToRun.Empty());
    if (!failed) {
      Require(std::string(settings.FileToRun.CString()) == values[0].substr(0, 2047));
      Require(settings.ShellExec == FlagOf(values[1]));
      Require(settings.BrowseForFolder == FlagOf(values[2]));
      Require(std::string(settings.BrowsePath.CString()) == values[3].substr(0, 2047));
    }
    Require(Fake().CallsNamed("WritePrivateProfileStringA").size() <= 1);

    Fake().failingAllocation = -1;
    LaunchRequest request;
    Require(DecideLaunchRequest("C:\\CD\\Start.exe", settings, request));
    Require(request.mode == ChooseLaunchMode(settings));
    if (request.mode == LaunchMode::ProcessStart) Require(!request.commandLine.Empty());
    if (request.mode != LaunchMode::ProcessStart) Require(!request.file.Empty());
  }
  Require(Fake().liveBlocks == 0);
  return 0;
}
