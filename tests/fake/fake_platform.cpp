#include "fake_platform.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "platform/ansi_text.h"
#include "platform/debug_output.h"
#include "platform/error_box.h"
#include "platform/fault_guard.h"
#include "platform/file_existence.h"
#include "platform/launch.h"
#include "platform/locale.h"
#include "platform/memory.h"
#include "platform/module_file.h"
#include "platform/process_environment.h"
#include "platform/process_exit.h"
#include "platform/profile.h"
#include "platform/short_path.h"
#include "startup/program_choice.h"

namespace {

FakePlatform* fake = new FakePlatform;

std::string Quoted(const char* text) { return text ? "\"" + std::string(text) + "\"" : "null"; }

bool IsAbsolute(const std::string& path) {
  return (path.size() >= 2 && path[1] == ':') || (!path.empty() && path[0] == '\\');
}

// The path from the current folder, "." and ".." resolved, in lower case.
std::string Normalised(const std::string& path, const std::string& currentFolder) {
  std::string full = IsAbsolute(path) ? path : currentFolder + "\\" + path;
  std::vector<std::string> parts;
  std::string part;
  for (size_t i = 0; i <= full.size(); ++i) {
    if (i < full.size() && full[i] != '\\') {
      part += static_cast<char>(tolower(static_cast<unsigned char>(full[i])));
      continue;
    }
    if (part == "..") {
      if (parts.size() > 1) parts.pop_back();
    } else if (part != "." && !(part.empty() && !parts.empty())) {
      parts.push_back(part);
    }
    part.clear();
  }
  std::string joined;
  for (const std::string& each : parts) joined += (joined.empty() ? "" : "\\") + each;
  return joined;
}

}  // namespace

FakePlatform& Fake() { return *fake; }

void ResetFake() {
  delete fake;
  fake = new FakePlatform;
}

const FakeEntry* FakePlatform::Resolve(const std::string& path, std::string* resolved) const {
  std::string wanted = Normalised(path, currentFolder);
  for (const auto& [key, entry] : entries) {
    if (Normalised(key, currentFolder) != wanted) continue;
    if (resolved) *resolved = IsAbsolute(key) ? key : currentFolder + "\\" + key;
    return &entry;
  }
  return nullptr;
}

std::vector<std::string> FakePlatform::CallsNamed(const std::string& prefix) const {
  std::vector<std::string> found;
  for (const std::string& call : calls) {
    if (call.compare(0, prefix.size(), prefix) == 0) found.push_back(call);
  }
  return found;
}

void* AllocateMemory(size_t bytes) {
  if (fake->allocationCount++ == fake->failingAllocation) return nullptr;
  ++fake->liveBlocks;
  return malloc(bytes);
}

void FreeMemory(void* block) {
  --fake->liveBlocks;
  free(block);
}

size_t QueryModuleFileNameWide(char16_t* buffer, size_t size) {
  fake->calls.push_back("GetModuleFileNameW(" + std::to_string(size) + ")");
  if (fake->moduleFileFails || size == 0) return 0;
  std::u16string path = fake->moduleWidePath;
  if (path.empty()) {
    for (char byte : fake->modulePath) path += static_cast<char16_t>(static_cast<unsigned char>(byte));
  }
  if (path.size() >= size) {
    std::copy(path.begin(), path.begin() + static_cast<long>(size) - 1, buffer);
    buffer[size - 1] = 0;
    return size;
  }
  std::copy(path.begin(), path.end(), buffer);
  buffer[path.size()] = 0;
  return path.size();
}

size_t QueryShortPathName(const char16_t* path, char16_t* buffer, size_t size) {
  std::u16string longPath(path);
  fake->calls.push_back("GetShortPathNameW(" + std::to_string(longPath.size()) + " units)");
  auto found = fake->shortPaths.find(longPath);
  std::u16string shortPath = found == fake->shortPaths.end() ? longPath : found->second;
  if (shortPath.empty()) return 0;
  if (shortPath.size() + 1 > size) return shortPath.size() + 1;
  std::copy(shortPath.begin(), shortPath.end(), buffer);
  buffer[shortPath.size()] = 0;
  return shortPath.size();
}

size_t ConvertToAnsi(const char16_t* units, size_t length, char* buffer, size_t size, bool bestFit,
                     bool& exact) {
  fake->calls.push_back(bestFit ? "WideCharToMultiByte(best fit)" : "WideCharToMultiByte");
  exact = true;
  if (length > size) return 0;
  for (size_t i = 0; i < length; ++i) {
    auto lookAlike = fake->bestFits.find(units[i]);
    if (units[i] < 0x100) {
      buffer[i] = static_cast<char>(units[i]);
    } else if (bestFit && lookAlike != fake->bestFits.end()) {
      buffer[i] = lookAlike->second;
    } else {
      buffer[i] = '?';
      exact = false;
    }
  }
  return length;
}

size_t QueryModuleFileOfAddress(const void* address, char* buffer, size_t size,
                                size_t& offset) {
  offset = reinterpret_cast<size_t>(address) & 0xFFFF;
  size_t length = std::min(fake->modulePath.size(), size - 1);
  memcpy(buffer, fake->modulePath.data(), length);
  buffer[length] = 0;
  return length;
}

uint32_t QueryThreadLocale() {
  fake->calls.push_back("GetThreadLocale");
  return fake->threadLocale;
}

bool QueryPlatformId(uint32_t& platformId) {
  fake->calls.push_back("GetVersionExA");
  if (!fake->versionCallSucceeds) return false;
  platformId = fake->platformId;
  return true;
}

int QueryDbcsEnabledMetric() {
  fake->calls.push_back("GetSystemMetrics(SM_DBCSENABLED)");
  return fake->dbcsEnabledMetric;
}

void QueryLocaleAnsiCodePage(uint32_t locale, char (&buffer)[7]) {
  fake->calls.push_back("GetLocaleInfoA(" + std::to_string(locale) + ")");
  memset(buffer, 0, sizeof buffer);
  memcpy(buffer, fake->localeCodePageText.data(),
         std::min(sizeof buffer, fake->localeCodePageText.size()));
}

uint32_t QueryAnsiCodePage() {
  fake->calls.push_back("GetACP");
  return fake->ansiCodePage;
}

void QueryLeadByteRanges(uint32_t codePage, unsigned char (&ranges)[12]) {
  fake->calls.push_back("GetCPInfo(" + std::to_string(codePage) + ")");
  memset(ranges, 0, sizeof ranges);
  auto found = fake->leadByteRanges.find(codePage);
  if (found != fake->leadByteRanges.end()) memcpy(ranges, found->second.data(), sizeof ranges);
}

bool FindFirstEntry(const char* path, FoundEntry& entry) {
  fake->calls.push_back(std::string("FindFirstFileA(") + path + ")");
  auto found = fake->entries.find(path);
  if (found == fake->entries.end()) return false;
  fake->calls.push_back("FindClose");
  entry.attributes = found->second.attributes;
  entry.lastWriteTime = found->second.hasDosTime ? 1 : 0;
  return true;
}

bool LastWriteHasDosForm(uint64_t lastWriteTime) {
  fake->calls.push_back("FileTimeToDosDateTime");
  return lastWriteTime != 0;
}

bool DirectoryExists(const char* path) {
  fake->calls.push_back(std::string("GetFileAttributesA(") + path + ")");
  const FakeEntry* found = fake->Resolve(path);
  return found && (found->attributes & 0x10);
}

size_t SearchProgramFile(const char* given, const char* extension, char* buffer, size_t size) {
  fake->calls.push_back(std::string("SearchPathA(") + given + ", " + Quoted(extension) + ")");
  std::string name = given;
  if (extension && AddsExtension(TextView(given))) name += extension;
  std::vector<std::string> folders = {""};
  if (!IsAbsolute(name)) {
    folders = {fake->currentFolder};
    folders.insert(folders.end(), fake->searchFolders.begin(), fake->searchFolders.end());
  }
  for (const std::string& folder : folders) {
    std::string path = folder.empty() ? name : folder + "\\" + name;
    std::string resolved;
    if (!fake->Resolve(path, &resolved)) continue;
    if (resolved.size() + 1 > size) return resolved.size() + 1;
    memcpy(buffer, resolved.c_str(), resolved.size() + 1);
    return resolved.size();
  }
  return 0;
}

void SetCurrentFolder(const char* path) {
  fake->calls.push_back(std::string("SetCurrentDirectoryA(") + path + ")");
  fake->currentFolder = path;
}

size_t ReadEnvironmentText(const char* name, char* buffer, size_t size) {
  fake->calls.push_back(std::string("GetEnvironmentVariableA(") + name + ")");
  auto found = fake->environment.find(name);
  if (found == fake->environment.end()) return 0;
  if (found->second.size() + 1 > size) return found->second.size() + 1;
  memcpy(buffer, found->second.c_str(), found->second.size() + 1);
  return found->second.size();
}

void WriteEnvironmentText(const char* name, const char* value) {
  fake->calls.push_back(std::string("SetEnvironmentVariableA(") + name + ")");
  fake->environment[name] = value;
}

void WriteDebugText(const char* text) {
  fake->calls.push_back("OutputDebugStringA");
  fake->debugText = text;
}

size_t ReadProfileString(const char* section, const char* key, const char* defaultText,
                         char* buffer, size_t size, const char* path) {
  fake->calls.push_back(std::string("GetPrivateProfileStringA(") + section + ", " + key + ", " +
                        Quoted(defaultText) + ", " + std::to_string(size) + ", " + path + ")");
  if (fake->faultingKey == key) throw FakeFault{};
  std::string value = defaultText;
  auto file = fake->profiles.find(path);
  if (file != fake->profiles.end()) {
    auto found = file->second.find(std::string(section) + "/" + key);
    if (found != file->second.end()) value = found->second;
  }
  size_t length = std::min(value.size(), size - 1);
  memcpy(buffer, value.data(), length);
  buffer[length] = 0;
  return length;
}

void FlushProfile(const char* path) {
  fake->calls.push_back(std::string("WritePrivateProfileStringA(null, null, null, ") + path + ")");
  if (fake->flushFaults) throw FakeFault{};
}

void ShellOpen(const char* file, const char* parameters, const char* directory) {
  fake->calls.push_back("CoInitializeEx(null, 0x6)");
  fake->calls.push_back("ShellExecuteExA(open, " + Quoted(file) + ", " + Quoted(parameters) +
                        ", " + Quoted(directory) + ")");
  fake->launch.kind = FakeLaunch::Kind::ShellOpen;
  fake->launch.file = file;
  fake->launch.hasParameters = parameters != nullptr;
  fake->launch.parameters = parameters ? parameters : "";
  fake->launch.hasDirectory = directory != nullptr;
  fake->launch.directory = directory ? directory : "";
}

uint32_t StartProcess(char* commandLine, const char* currentDirectory) {
  fake->calls.push_back("CreateProcessA(" + Quoted(commandLine) + ", " +
                        Quoted(currentDirectory) + ")");
  fake->launch.kind = FakeLaunch::Kind::Process;
  fake->launch.commandLine = commandLine;
  fake->launch.hasDirectory = currentDirectory != nullptr;
  fake->launch.directory = currentDirectory ? currentDirectory : "";
  return fake->processError;
}

void EndProcess(unsigned exitCode) {
  fake->calls.push_back("ExitProcess(" + std::to_string(exitCode) + ")");
  throw ProcessEnded{exitCode};
}

void ShowErrorBox(const char* title, const char* text) {
  fake->calls.push_back("MessageBoxA");
  fake->boxTitle = title;
  fake->boxText = text;
}

void InstallFaultHandlers(void (*report)(const FaultRecord& fault)) { fake->faultReport = report; }

bool RunGuarded(void (*body)(void* context), void* context) {
  try {
    body(context);
    return true;
  } catch (const FakeFault&) {
    fake->calls.push_back("fault");
    return false;
  }
}
