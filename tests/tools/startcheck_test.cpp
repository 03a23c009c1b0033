// The checker's verdict and request for a table of media layouts, each made
// in a scratch folder that stands for drive E:.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <utime.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "check.h"
#include "host_media.h"
#include "program_image.h"

namespace {

namespace fs = std::filesystem;

void Put16(std::string& bytes, size_t at, uint32_t value) {
  bytes[at] = static_cast<char>(value);
  bytes[at + 1] = static_cast<char>(value >> 8);
}
void Put32(std::string& bytes, size_t at, uint32_t value) {
  Put16(bytes, at, value & 0xFFFF);
  Put16(bytes, at + 2, value >> 16);
}

constexpr uint32_t kVersionType = 16, kManifestType = 24;  // RT_VERSION, RT_MANIFEST

// The smallest PE image that Windows' loader and the checker read the same
// way: headers, and one section holding each (type, data) of `resources`
// (in rising order of type) as the type's resource 1, language 0x409.
std::string ProgramWithResources(const std::vector<std::pair<uint32_t, std::string>>& resources,
                                 uint16_t machine = 0x14C) {
  const size_t count = resources.size();
  // The directories (root, then a name and a language level for each type),
  // the data entries, then the data, each on an 8-byte boundary.
  std::string tables(16 + count * (8 + 24 + 24 + 16), '\0');
  std::string data;
  Put16(tables, 14, static_cast<uint32_t>(count));
  for (size_t i = 0; i < count; ++i) {
    const size_t names = 16 + count * 8 + i * 24, languages = names + count * 24;
    const size_t entry = 16 + count * 56 + i * 16;
    Put32(tables, 16 + i * 8, resources[i].first);
    Put32(tables, 16 + i * 8 + 4, static_cast<uint32_t>(0x80000000 | names));
    Put16(tables, names + 14, 1);
    Put32(tables, names + 16, 1);
    Put32(tables, names + 20, static_cast<uint32_t>(0x80000000 | languages));
    Put16(tables, languages + 14, 1);
    Put32(tables, languages + 16, 0x409);
    Put32(tables, languages + 20, static_cast<uint32_t>(entry));
    Put32(tables, entry, static_cast<uint32_t>(0x1000 + tables.size() + data.size()));
    Put32(tables, entry + 4, static_cast<uint32_t>(resources[i].second.size()));
    data += resources[i].second;
    data.resize((data.size() + 7) & ~size_t{7}, '\0');
  }
  const std::string section = tables + data;
  const uint32_t sectionSize = static_cast<uint32_t>((section.size() + 0x1FF) & ~size_t{0x1FF});

  std::string bytes(0x200 + sectionSize, '\0');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  Put32(bytes, 0x3C, 0x40);
  bytes.replace(0x40, 4, std::string("PE\0\0", 4));
  Put16(bytes, 0x44, machine);
  Put16(bytes, 0x46, 1);     // one section
  Put16(bytes, 0x54, 224);   // a PE32 optional header
  Put16(bytes, 0x58, 0x10B);
  Put32(bytes, 0x58 + 92, 16);  // data directories
  const size_t header = 0x58 + 224;
  bytes.replace(header, 5, ".rsrc");
  Put32(bytes, header + 8, sectionSize);   // size in memory
  Put32(bytes, header + 12, 0x1000);       // address
  Put32(bytes, header + 16, sectionSize);  // size in the file
  Put32(bytes, header + 20, 0x200);        // place in the file
  if (count == 0) return bytes;
  Put32(bytes, 0x58 + 96 + 2 * 8, 0x1000);  // the resource table
  Put32(bytes, 0x58 + 96 + 2 * 8 + 4, static_cast<uint32_t>(section.size()));
  bytes.replace(0x200, section.size(), section);
  return bytes;
}

// A program with `manifest` (when not empty) as its RT_MANIFEST resource 1.
std::string ProgramWithManifest(const std::string& manifest, uint16_t machine = 0x14C) {
  if (manifest.empty()) return ProgramWithResources({}, machine);
  return ProgramWithResources({{kManifestType, manifest}}, machine);
}

std::string Utf16(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

void Align4(std::string& bytes) { bytes.resize((bytes.size() + 3) & ~size_t{3}, '\0'); }

// One node of the version information, as the resource compiler writes it:
// length, value length (in characters for text), type, key, value, children.
std::string VersionNode(const std::u16string& key, const std::string& value, bool text,
                        const std::string& children = "") {
  std::string node(6, '\0');
  node += Utf16(key + u'\0');
  Align4(node);
  node += value;
  Align4(node);
  node += children;
  Put16(node, 0, static_cast<uint32_t>(node.size()));
  Put16(node, 2, static_cast<uint32_t>(text ? value.size() / 2 : value.size()));
  Put16(node, 4, text ? 1 : 0);
  return node;
}

// A version resource with a string table for each of `tables`, its fixed
// part and its translation.
std::string VersionResource(
    const std::vector<std::vector<std::pair<std::u16string, std::u16string>>>& tables) {
  std::string blocks;
  for (size_t i = 0; i < tables.size(); ++i) {
    std::string strings;
    for (const auto& [key, value] : tables[i]) {
      strings += VersionNode(key, Utf16(value + u'\0'), true);
      Align4(strings);
    }
    blocks += VersionNode(i == 0 ? u"040904E4" : u"040704B0", "", true, strings);
    Align4(blocks);
  }
  std::string fixed(52, '\0');
  Put32(fixed, 0, 0xFEEF04BD);
  std::string translation(4, '\0');
  Put32(translation, 0, 0x04E40409);
  std::string info = VersionNode(u"StringFileInfo", "", true, blocks);
  Align4(info);
  info += VersionNode(u"VarFileInfo", "", true, VersionNode(u"Translation", translation, false));
  return VersionNode(u"VS_VERSION_INFO", fixed, false, info);
}

std::string Manifest(const std::string& level) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
         "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">"
         "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\"><security><requestedPrivileges>"
         "<requestedExecutionLevel " + level + " uiAccess=\"false\"/>"
         "</requestedPrivileges></security></trustInfo></assembly>";
}

// Gives the file a last-write time before the MS-DOS dates begin.
bool DateIn1975(const fs::path& path) {
  struct tm when = {};
  when.tm_year = 75;
  when.tm_mon = 5;
  when.tm_mday = 1;
  when.tm_hour = 12;
  time_t stamp = mktime(&when);
  struct utimbuf times = {stamp, stamp};
  return utime(path.c_str(), &times) == 0;
}

std::string Lines(std::initializer_list<const char*> lines) {
  std::string text = "[Information]\r\n";
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

class StartCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/startcheck-XXXXXX";
    root_ = mkdtemp(pattern);
  }
  void TearDown() override { fs::remove_all(root_); }

  // A folder for a name ending in "/"; a file otherwise, a program that
  // runs as the user where the name ends in ".exe" and no content is given.
  void Make(const std::string& relative, const std::string& content = std::string()) {
    fs::path path = root_ / relative;
    if (!relative.empty() && relative.back() == '/') {
      fs::create_directories(path);
      return;
    }
    fs::create_directories(path.parent_path());
    std::string extension = relative.size() > 4 ? relative.substr(relative.size() - 4) : "";
    for (char& byte : extension) byte = static_cast<char>(std::tolower(byte));
    bool program = extension == ".exe";
    std::ofstream(path, std::ios::binary)
        << (content.empty() && program ? ProgramWithManifest(Manifest("level=\"asInvoker\""))
                                       : content);
  }

  CheckReport Check(const std::string& launcher) {
    HostMedia media("E:\\", root_.string());
    return CheckLaunch(launcher, media);
  }

  fs::path root_;
};

std::string Settings(const char* launcher) {
  std::string name = std::string(launcher).substr(3);
  return name.substr(0, name.rfind('.')) + ".ini";
}

struct Layout {
  const char* name;
  const char* launcher;  // its Windows path on E:
  // Relative to the media root; "/" ends a folder; a program runs as the
  // user unless its content is given.
  std::vector<std::pair<std::string, std::string>> files;
  std::string settings;  // the settings file's lines; "" for none
  int exitCode;
  const char* mode;
  std::string request;           // command line, or file, or folder parameters
  const char* currentDirectory;  // ProcessStart: null for none
  std::vector<std::string> findings;  // the codes, in any order
  std::string messagePiece;           // in one of the messages ("" for none)
  bool settingsDatedIn1975 = false;   // before the MS-DOS dates begin
};

std::vector<std::pair<std::string, std::string>> Files(std::initializer_list<const char*> names) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const char* name : names) files.emplace_back(name, "");
  return files;
}

TEST_F(StartCheckTest, MediaLayouts) {
  std::set<std::string> produced;
  const std::string admin = ProgramWithManifest(Manifest("level=\"requireAdministrator\""));
  const std::string bare32 = ProgramWithManifest("");
  const std::string x64 = ProgramWithManifest(Manifest("level=\"asInvoker\""), 0x8664);
  // No level, and installer detection's word in a version string only.
  const std::string described32 = ProgramWithResources(
      {{kVersionType, VersionResource({{{u"FileDescription", u"Acme Setup Launcher"},
                                        {u"ProductName", u"Acme"}}})},
       {kManifestType, Manifest("uiAccess=\"false\"")}});
  const Layout layouts[] = {
      // What the launcher starts, and where.
      {"default target present", "E:\\CD\\Start.exe", Files({"CD/Start.exe", "Installer/Start.exe"}),
       "", 0, "ProcessStart", "E:\\CD\\..\\Installer\\Start.exe", "E:\\CD\\..\\Installer",
       {"default-target"}, "there is no settings file E:\\CD\\Start.ini that counts"},
      {"default target missing", "E:\\CD\\Start.exe", Files({"CD/Start.exe"}), "", 2,
       "ProcessStart", "E:\\CD\\..\\Installer\\Start.exe", nullptr,
       {"target-missing", "default-target"}, "does not exist: nothing would start"},
      {"empty FileToRun", "E:\\Start.exe", Files({"Start.exe"}),
       Lines({"FileToRun=", "ShellExec=0"}), 2, "ProcessStart", "E:\\..\\Installer\\Start.exe",
       nullptr, {"target-missing", "default-target"}, "FileToRun is missing or empty"},
      {"installer with arguments in its folder", "E:\\Start.exe",
       Files({"Start.exe", "Setup/Setup.exe"}),
       Lines({"FileToRun=Setup\\Setup.exe /S /LOG=C:\\x.log"}), 0, "ProcessStart",
       "Setup\\Setup.exe /S /LOG=C:\\x.log", nullptr, {}, ""},
      {"installer by full path", "E:\\Start.exe", Files({"Start.exe", "Setup/Setup.exe"}),
       Lines({"FileToRun=E:\\Setup\\Setup.exe /S"}), 0, "ProcessStart", "E:\\Setup\\Setup.exe /S",
       "E:\\Setup", {}, ""},
      {"unquoted program path with a blank", "E:\\Start.exe",
       Files({"Start.exe", "My Apps/x.exe"}), Lines({"FileToRun=E:\\My Apps\\x.exe"}), 1,
       "ProcessStart", "E:\\My Apps\\x.exe", "E:\\My Apps", {"unquoted-blank"},
       "Put the program's path in double quotation marks"},
      {"quoted program path with a blank", "E:\\Start.exe", Files({"Start.exe", "My Apps/x.exe"}),
       Lines({"FileToRun=\"E:\\My Apps\\x.exe\" /q"}), 0, "ProcessStart",
       "\"E:\\My Apps\\x.exe\" /q", "E:\\My Apps", {}, ""},
      {"quoted program without arguments: the reader takes the quotation marks", "E:\\Start.exe",
       Files({"Start.exe", "Setup Files/Setup.exe"}),
       Lines({"FileToRun=\"Setup Files\\Setup.exe\""}), 1, "ProcessStart",
       "Setup Files\\Setup.exe", "Setup Files", {"quotes-removed"},
       "FileToRun=\"\"Setup Files\\Setup.exe\"\""},
      // Windows' profile reader does not skip a UTF-8 mark.
      {"UTF-8 with a mark, [Information] on its first line", "E:\\Start.exe",
       Files({"Start.exe", "Setup/Setup.exe"}),
       "\xEF\xBB\xBF[Information]\r\nFileToRun=Setup\\Setup.exe\r\n", 2, "ProcessStart",
       "E:\\..\\Installer\\Start.exe", nullptr,
       {"settings-utf8-bom-hides-section", "key-outside-information", "target-missing",
        "default-target"},
       "or put a blank or comment line first"},
      {"UTF-8 with a mark and a comment line first", "E:\\Start.exe",
       Files({"Start.exe", "Setup/Setup.exe"}),
       "\xEF\xBB\xBF; Acme Suite\r\n[Information]\r\nFileToRun=Setup\\Setup.exe\r\n", 0,
       "ProcessStart", "Setup\\Setup.exe", "Setup", {}, ""},
      // Never the launcher itself.
      {"unquoted line whose first word is the launcher", "E:\\Start.exe",
       Files({"Start.exe", "Start Here/Install.exe"}), Lines({"FileToRun=Start Here\\Install.exe /S"}),
       1, "ProcessStart", "\"Start Here\\Install.exe\" /S", "Start Here", {"launcher-found-first"},
       "FileToRun=\"Start Here\\Install.exe\" /S"},
      {"the launcher by its own name, not yet on the media", "E:\\Go.exe", Files({}),
       Lines({"FileToRun=go /x"}), 2, "ProcessStart", "go /x", nullptr,
       {"starts-itself", "launcher-missing"}, "without end"},
      {"the launcher through a dot folder", "E:\\Start.exe", Files({"Start.exe"}),
       Lines({"FileToRun=.\\Start.exe /x"}), 2, "ProcessStart", ".\\Start.exe /x", ".",
       {"starts-itself"}, "So the launcher starts nothing"},
      {"the launcher opened by the shell", "E:\\Start.exe", Files({"Start.exe"}),
       Lines({"FileToRun=Start.exe", "ShellExec=1"}), 2, "ShellOpen", "Start.exe", nullptr,
       {"starts-itself"}, "Name your own program."},
      {"a launcher in a folder named Installer, without settings", "E:\\Installer\\Start.exe",
       Files({"Installer/Start.exe"}), "", 2, "ProcessStart",
       "E:\\Installer\\..\\Installer\\Start.exe", "E:\\Installer\\..\\Installer",
       {"starts-itself", "default-target"}, "names the launcher itself"},
      // Only programs start as a new process.
      {"document as a new process", "E:\\Start.exe",
       {{"Start.exe", ""}, {"Manual.pdf", "%PDF-1.7"}}, Lines({"FileToRun=Manual.pdf"}), 2,
       "ProcessStart", "Manual.pdf", nullptr, {"not-a-program"}, "Set ShellExec=1"},
      {"installer package with options as a new process", "E:\\Start.exe",
       {{"Start.exe", ""}, {"Setup Files/Product.msi", "\xD0\xCF\x11\xE0"}},
       Lines({"FileToRun=\"Setup Files\\Product.msi\" /qn"}), 2, "ProcessStart",
       "\"Setup Files\\Product.msi\" /qn", "Setup Files", {"not-a-program"},
       "FileToRun=msiexec.exe /i \"Product.msi\""},
      {"ShellExec=yes leaves a document to start as a process", "E:\\Start.exe",
       {{"Start.exe", ""}, {"Manual.pdf", "%PDF-1.7"}},
       Lines({"FileToRun=Manual.pdf", "ShellExec=yes"}), 2, "ProcessStart", "Manual.pdf", nullptr,
       {"flag-not-a-number", "not-a-program"}, "so FileToRun starts as a new process"},
      {"misspelt ShellExec leaves a document to start as a process", "E:\\Start.exe",
       {{"Start.exe", ""}, {"Manual.pdf", "%PDF-1.7"}},
       Lines({"FileToRun=Manual.pdf", "ShelExec=1"}), 2, "ProcessStart", "Manual.pdf", nullptr,
       {"key-misspelt", "not-a-program"}, "ShellExec is off and FileToRun starts as a new process"},
      {"batch file as a new process", "E:\\Start.exe", {{"Start.exe", ""}, {"go.cmd", "@echo"}},
       Lines({"FileToRun=go.cmd"}), 0, "ProcessStart", "go.cmd", nullptr, {}, ""},
      // What Windows asks of the user, and where the program runs at all.
      {"installer that asks for administrator rights", "E:\\Start.exe",
       {{"Start.exe", ""}, {"Setup/Setup.exe", admin}}, Lines({"FileToRun=Setup\\Setup.exe /S"}),
       0, "ProcessStart", "Setup\\Setup.exe /S", "Setup", {"needs-administrator-rights"},
       "hands it, with its arguments, to the shell"},
      {"32-bit setup without a manifest", "E:\\Start.exe",
       {{"Start.exe", ""}, {"Setup/Setup.exe", bare32}}, Lines({"FileToRun=Setup\\Setup.exe"}), 1,
       "ProcessStart", "Setup\\Setup.exe", "Setup", {"installer-detection"},
       "installer detection"},
      {"32-bit program without a level described as a setup", "E:\\Start.exe",
       {{"Start.exe", ""}, {"Tools/Acme.exe", described32}}, Lines({"FileToRun=Tools\\Acme.exe"}),
       1, "ProcessStart", "Tools\\Acme.exe", "Tools", {"installer-detection"},
       "whose FileDescription \"Acme Setup Launcher\" holds \"setup\""},
      {"64-bit-only program", "E:\\Start.exe", {{"Start.exe", ""}, {"x.exe", x64}},
       Lines({"FileToRun=x.exe"}), 1, "ProcessStart", "x.exe", nullptr, {"target-64-bit-only"},
       "does not run on 32-bit Windows"},
      // The shell and Explorer.
      {"document through the shell", "E:\\Start.exe", Files({"Start.exe", "Readme.html"}),
       Lines({"FileToRun=Readme.html", "ShellExec=0x1"}), 0, "ShellOpen", "Readme.html", nullptr,
       {}, ""},
      {"shell open with arguments", "E:\\Start.exe",
       {{"Start.exe", ""}, {"Manual.pdf", "%PDF-1.7"}},
       Lines({"FileToRun=Manual.pdf /page=3", "ShellExec=1"}), 2, "ShellOpen",
       "Manual.pdf /page=3", nullptr, {"shell-open-with-arguments"}, "takes a file only"},
      {"shell open of a quoted program with arguments", "E:\\Start.exe",
       Files({"Start.exe", "Setup Files/Setup.exe"}),
       Lines({"FileToRun=\"Setup Files\\Setup.exe\" /S", "ShellExec=1"}), 2, "ShellOpen",
       "\"Setup Files\\Setup.exe\" /S", nullptr, {"shell-open-with-arguments"}, "set ShellExec=0"},
      {"folder beside the launcher", "E:\\Start.exe", Files({"Start.exe", "Docs/"}),
       Lines({"BrowseForFolder=1", "BrowsePath=Docs"}), 0, "FolderBrowse", "\"E:\\Docs\"", nullptr,
       {}, ""},
      {"folder whose name Explorer would split", "E:\\Start.exe",
       Files({"Start.exe", "Docs, English/"}),
       Lines({"BrowseForFolder=1", "BrowsePath=Docs, English"}), 0, "FolderBrowse",
       "\"E:\\Docs, English\"", nullptr, {}, ""},
      {"missing folder: Explorer opens its default view", "E:\\Start.exe", Files({"Start.exe"}),
       Lines({"BrowseForFolder=1", "BrowsePath=Docs"}), 1, "FolderBrowse", "\"E:\\Docs\"", nullptr,
       {"folder-missing"}, "Explorer opens all the same"},
      {"absolute folder", "E:\\Start.exe", Files({"Start.exe", "Docs/"}),
       Lines({"BrowseForFolder=1", "BrowsePath=E:\\Docs"}), 1, "FolderBrowse", "\"E:\\E:\\Docs\"",
       nullptr, {"browse-path-absolute", "folder-missing"}, "is put after the launcher's folder"},
      // The settings file.
      {"keys in another section", "E:\\Start.exe", Files({"Start.exe", "Installer/Start.exe"}),
       "[Setup]\r\nFileToRun=x.exe\r\n", 1, "ProcessStart", "E:\\..\\Installer\\Start.exe",
       "E:\\..\\Installer", {"key-outside-information", "default-target"},
       "in the section [Setup]"},
      {"flag that is no number", "E:\\Start.exe", Files({"Start.exe", "x.exe"}),
       Lines({"FileToRun=x.exe", "ShellExec=yes"}), 1, "ProcessStart", "x.exe", nullptr,
       {"flag-not-a-number"}, "\"yes\" is not a number"},
      {"value cut at 2047 bytes", "E:\\Start.exe", Files({"Start.exe", "x.exe"}),
       Lines({"FileToRun=x.exe", ("BrowsePath=" + std::string(3000, 'd')).c_str()}), 1,
       "ProcessStart", "x.exe", nullptr, {"value-cut"}, "BrowsePath is longer than 2047 bytes"},
      {"settings file is a folder", "E:\\Start.exe",
       Files({"Start.exe", "Start.ini/", "Installer/Start.exe"}), "", 1, "ProcessStart",
       "E:\\..\\Installer\\Start.exe", "E:\\..\\Installer",
       {"settings-is-a-folder", "default-target"}, "A folder bears"},
      {"autorun lines in the settings file", "E:\\Start.exe", Files({"Start.exe", "x.exe"}),
       "[autorun]\r\nopen=Start.exe\r\nicon=Start.exe\r\n[Information]\r\nFileToRun=x.exe\r\n", 1,
       "ProcessStart", "x.exe", nullptr, {"autorun-lines-in-settings"}, "belong in autorun.inf"},
      {"settings saved with a hidden .txt", "E:\\Start.exe",
       {{"Start.exe", ""}, {"Installer/Start.exe", ""}, {"Start.ini.txt", Lines({"FileToRun=x"})}},
       "", 1, "ProcessStart", "E:\\..\\Installer\\Start.exe", "E:\\..\\Installer",
       {"settings-hidden-extension", "default-target"}, "E:\\Start.ini.txt"},
      {"settings file named for another launcher name", "E:\\Autorun.exe",
       {{"Autorun.exe", ""}, {"Installer/Autorun.exe", ""}, {"Start.ini", Lines({"FileToRun=x"})}},
       "", 1, "ProcessStart", "E:\\..\\Installer\\Autorun.exe", "E:\\..\\Installer",
       {"settings-other-name", "default-target"}, "Autorun.ini beside Autorun.exe"},
      {"UTF-8 settings file without a byte-order mark", "E:\\Start.exe",
       Files({"Start.exe", "x.exe"}), Lines({"; Handb\xC3\xBC" "cher", "FileToRun=x.exe"}), 1,
       "ProcessStart", "x.exe", nullptr, {"settings-utf8-without-bom"}, "Handb\xC3\xBC" "cher"},
      // The launcher and the media around it.
      {"launcher not there yet", "E:\\Start.exe", Files({"x.exe"}), Lines({"FileToRun=x.exe"}), 1,
       "ProcessStart", "x.exe", nullptr, {"launcher-missing"}, "a planned layout"},
      // What Windows reads in the launcher before it starts it.
      {"launcher named for installers that asks to run as the invoker", "E:\\Setup.exe",
       Files({"Setup.exe", "x.exe"}), Lines({"FileToRun=x.exe"}), 0, "ProcessStart", "x.exe",
       nullptr, {}, ""},
      {"32-bit launcher without a manifest named for installers", "E:\\Setup.exe",
       {{"Setup.exe", bare32}, {"x.exe", ""}}, Lines({"FileToRun=x.exe"}), 1, "ProcessStart",
       "x.exe", nullptr, {"launcher-name-elevates"}, "its name holds \"setup\""},
      {"32-bit launcher without a level described as a setup", "E:\\Start.exe",
       {{"Start.exe", described32}, {"x.exe", ""}}, Lines({"FileToRun=x.exe"}), 1,
       "ProcessStart", "x.exe", nullptr, {"launcher-name-elevates"},
       "its FileDescription \"Acme Setup Launcher\" holds \"setup\""},
      {"64-bit launcher without a manifest named for installers", "E:\\Update.exe",
       {{"Update.exe", ProgramWithManifest("", 0x8664)}, {"x.exe", ""}},
       Lines({"FileToRun=x.exe"}), 0, "ProcessStart", "x.exe", nullptr, {}, ""},
      {"launcher that asks for administrator rights", "E:\\Start.exe",
       {{"Start.exe", admin}, {"x.exe", ""}}, Lines({"FileToRun=x.exe"}), 0, "ProcessStart",
       "x.exe", nullptr, {"launcher-asks-for-rights"}, "before the launcher starts"},
      {"planned launcher named for installers", "E:\\Setup.exe", Files({"x.exe"}),
       Lines({"FileToRun=x.exe"}), 1, "ProcessStart", "x.exe", nullptr, {"launcher-missing"},
       "a planned layout"},
      {"autorun.inf that starts the launcher", "E:\\Start.exe",
       {{"Start.exe", ""}, {"x.exe", ""},
        {"autorun.inf", "[autorun]\r\nopen=Start.exe\r\nicon=Start.exe,0\r\nlabel=Product\r\n"}},
       Lines({"FileToRun=x.exe"}), 0, "ProcessStart", "x.exe", nullptr, {"autorun-optical-only"},
       "on a USB stick the user double-clicks Start.exe"},
      {"autorun.inf without open=", "E:\\Start.exe",
       {{"Start.exe", ""}, {"x.exe", ""}, {"autorun.inf", "[autorun]\r\nicon=Start.exe,0\r\n"}},
       Lines({"FileToRun=x.exe"}), 1, "ProcessStart", "x.exe", nullptr,
       {"autorun-without-open", "autorun-optical-only"}, "open="},
      {"many misspelt keys: a few are told", "E:\\Start.exe", Files({"Start.exe", "x.exe"}),
       Lines({"FileToRun=x.exe", "ShelExec=1", "ShelExec=2", "ShelExec=3", "ShelExec=4",
              "ShelExec=5"}),
       1, "ProcessStart", "x.exe", nullptr, {"key-misspelt", "key-misspelt", "key-misspelt"},
       "(And 2 more like it.)"},
      // What cannot be seen from here, and what does not run everywhere.
      {"program outside the media folder", "E:\\Start.exe", Files({"Start.exe"}),
       Lines({"FileToRun=C:\\Tools\\x.exe /q"}), 1, "ProcessStart", "C:\\Tools\\x.exe /q",
       nullptr, {"target-not-checkable"}, "cannot be checked here"},
      {"ARM64-only program", "E:\\Start.exe",
       {{"Start.exe", ""}, {"x.exe", ProgramWithManifest(Manifest("level=\"asInvoker\""), 0xAA64)}},
       Lines({"FileToRun=x.exe"}), 1, "ProcessStart", "x.exe", nullptr, {"target-arm64-only"},
       "nor on x64 Windows"},
      {"a folder outside ASCII", "E:\\Caf\xE9\\Start.exe",
       Files({"Caf\xC3\xA9/Start.exe", "Installer/Start.exe"}), "", 1, "ProcessStart",
       "E:\\Caf\xE9\\..\\Installer\\Start.exe", "E:\\Caf\xE9\\..\\Installer",
       {"path-outside-ascii", "default-target"}, "The folder \"Caf\xE9\" in the launcher's path"},
      // How the settings file was saved, and when.
      {"UTF-8 with a mark, the section on a later line", "E:\\Start.exe",
       Files({"Start.exe", "Setup.exe"}),
       "\xEF\xBB\xBF; Handb\xC3\xBC" "cher\r\n[Information]\r\nFileToRun=Setup.exe\r\n", 1,
       "ProcessStart", "Setup.exe", nullptr, {"settings-utf8-with-bom"},
       "saved as UTF-8 with a byte-order mark"},
      {"settings last written in 1975", "E:\\Start.exe", Files({"Start.exe", "Installer/Start.exe"}),
       Lines({"FileToRun=x.exe"}), 1, "ProcessStart", "E:\\..\\Installer\\Start.exe",
       "E:\\..\\Installer", {"settings-date-outside-dos-range", "default-target"}, "before 1980",
       true},
      {"autorun.inf that starts another program", "E:\\CD\\Start.exe",
       {{"CD/Start.exe", ""}, {"CD/x.exe", ""},
        {"autorun.inf", "[AutoRun]\r\nopen=Setup.exe /s\r\nlabel=" + std::string(40, 'L') + "\r\n"}},
       "", 2, "ProcessStart", "E:\\CD\\..\\Installer\\Start.exe", nullptr,
       {"autorun-opens-another-program", "autorun-without-icon", "autorun-label-too-long",
        "autorun-optical-only", "default-target", "target-missing"},
       "write open=CD\\Start.exe"},
  };
  for (const Layout& layout : layouts) {
    SCOPED_TRACE(layout.name);
    fs::remove_all(root_);
    fs::create_directories(root_);
    for (const auto& [file, content] : layout.files) Make(file, content);
    if (!layout.settings.empty()) Make(Settings(layout.launcher), layout.settings);
    if (layout.settingsDatedIn1975) {
      ASSERT_TRUE(DateIn1975(root_ / Settings(layout.launcher)));
    }
    CheckReport report = Check(layout.launcher);
    EXPECT_EQ(report.mode, layout.mode);
    if (report.mode == "ProcessStart") {
      EXPECT_EQ(report.commandLine, layout.request);
      EXPECT_EQ(report.hasCurrentDirectory, layout.currentDirectory != nullptr);
      if (layout.currentDirectory) {
        EXPECT_EQ(report.currentDirectory, layout.currentDirectory);
      }
    } else if (report.mode == "ShellOpen") {
      EXPECT_EQ(report.file, layout.request);
      EXPECT_FALSE(report.hasParameters);
    } else {
      EXPECT_EQ(report.file, "explorer.exe");
      EXPECT_EQ(report.parameters, layout.request);
    }
    std::vector<std::string> codes;
    std::string messages;
    for (const Finding& finding : report.findings) {
      codes.push_back(finding.code);
      messages += finding.message + "\n";
    }
    std::vector<std::string> expected = layout.findings;
    std::sort(codes.begin(), codes.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(codes, expected) << messages;
    EXPECT_EQ(report.ExitCode(), layout.exitCode) << messages;
    EXPECT_NE(messages.find(layout.messagePiece), std::string::npos) << messages;
    produced.insert(codes.begin(), codes.end());
  }
  // Every finding of the catalogue comes from some layout of this table.
  std::vector<std::string> neverProduced;
  for (int i = 0; i < kFindingCodeCount; ++i) {
    std::string code = KindOf(static_cast<FindingCode>(i)).code;
    if (!produced.count(code)) neverProduced.push_back(code);
  }
  EXPECT_EQ(neverProduced, std::vector<std::string>{});
}

// docs/startcheck.md shows the catalogue itself, row for row, and the JSON
// Schema lists its codes.
TEST(FindingCatalogueTest, IsWhatTheDocsAndTheSchemaSay) {
  std::vector<std::string> catalogue;
  for (int i = 0; i < kFindingCodeCount; ++i) {
    FindingKind kind = KindOf(static_cast<FindingCode>(i));
    const char* severity = kind.severity == Severity::Error     ? "error"
                           : kind.severity == Severity::Warning ? "warning"
                                                                : "info";
    catalogue.push_back("| `" + std::string(kind.code) + "` | " + severity + " | " +
                        kind.meaning + " |");
  }
  std::ifstream docs(std::string(START_DOCS_DIR) + "/startcheck.md");
  std::vector<std::string> documented;
  std::regex row(R"(^\| `[a-z0-9-]+` \| (error|warning|info) \| .+ \|$)");
  for (std::string line; std::getline(docs, line);) {
    if (std::regex_match(line, row)) documented.push_back(line);
  }
  EXPECT_EQ(documented, catalogue);

  std::ifstream schemaFile(std::string(START_DOCS_DIR) + "/startcheck.schema.json");
  nlohmann::json schema = nlohmann::json::parse(schemaFile);
  std::vector<std::string> listed =
      schema["definitions"]["finding"]["properties"]["code"]["enum"].get<std::vector<std::string>>();
  std::vector<std::string> codes;
  for (int i = 0; i < kFindingCodeCount; ++i) codes.push_back(KindOf(static_cast<FindingCode>(i)).code);
  EXPECT_EQ(listed, codes);
}

TEST(ProgramImageTest, ReadsTheMachineAndTheManifestsExecutionLevel) {
  struct Case {
    const char* name;
    std::string bytes;
    bool isImage;
    std::string level;
    bool asksForRights;
  };
  const std::string required = ProgramWithManifest(Manifest("level=\"requireAdministrator\""));
  const Case cases[] = {
      {"no program at all", "%PDF-1.7 ...", false, "", false},
      {"MZ without a PE header", "MZ" + std::string(100, '\0'), false, "", false},
      {"program without resources", ProgramWithManifest(""), true, "", false},
      {"as the user", ProgramWithManifest(Manifest("level=\"asInvoker\"")), true, "asInvoker",
       false},
      {"administrator required", required, true, "requireAdministrator", true},
      {"highest available, in single quotes",
       ProgramWithManifest(Manifest("level='highestAvailable'")), true, "highestAvailable", true},
      {"manifest without a level", ProgramWithManifest(Manifest("uiAccess=\"false\"")), true, "",
       false},
      {"cut inside the resources", required.substr(0, 0x260), true, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramImage image = ReadProgramImage(c.bytes);
    EXPECT_EQ(image.isImage, c.isImage);
    EXPECT_EQ(image.executionLevel, c.level);
    EXPECT_EQ(AsksForAdministratorRights(image), c.asksForRights);
  }
  EXPECT_EQ(ReadProgramImage(ProgramWithManifest("", 0x8664)).machine, 0x8664);
}

TEST(ProgramImageTest, ReadsTheVersionStringsOfEveryTable) {
  using Strings = std::vector<std::pair<std::string, std::string>>;
  struct Case {
    const char* name;
    std::string version;  // the RT_VERSION resource
    Strings strings;
  };
  const std::string two = VersionResource(
      {{{u"CompanyName", u"Acme"}, {u"FileDescription", u"Acme Setup"}},
       {{u"ProductName", u"Acme Suite \u00a9 \U0001F4BF"}, {u"Comments", u"\xd800"}}});
  // The String's own length counts its value in bytes here, as some tools
  // write it; its text ends at its NUL all the same.
  std::string bytesCounted = VersionResource({{{u"ProductName", u"Acme"}}});
  const size_t product = bytesCounted.find(Utf16(u"ProductName"));
  Put16(bytesCounted, product - 4, 10);
  std::string longChild = two;
  Put16(longChild, longChild.find(Utf16(u"StringFileInfo")) - 6, 0xFFF0);
  std::string emptyChild = two;
  Put16(emptyChild, emptyChild.find(Utf16(u"CompanyName")) - 6, 0);
  const Case cases[] = {
      {"two tables, text outside ASCII and a lone surrogate", two,
       {{"CompanyName", "Acme"}, {"FileDescription", "Acme Setup"},
        {"ProductName", "Acme Suite \xC2\xA9 \xF0\x9F\x92\xBF"}, {"Comments", "\xEF\xBF\xBD"}}},
      {"a value length in bytes", bytesCounted, {{"ProductName", "Acme"}}},
      {"a block that runs past the resource", longChild, {}},
      {"a string of length 0 ends its table", emptyChild,
       {{"ProductName", "Acme Suite \xC2\xA9 \xF0\x9F\x92\xBF"}, {"Comments", "\xEF\xBF\xBD"}}},
      {"not a version resource", "VS_VERSION_INFO", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramImage image = ReadProgramImage(ProgramWithResources({{kVersionType, c.version}}));
    Strings read;
    for (const VersionString& text : image.versionStrings) read.emplace_back(text.key, text.value);
    EXPECT_EQ(read, c.strings);
    EXPECT_FALSE(image.hasManifest);
  }
  // Cut inside the version information: nothing read, nothing beyond the file.
  const std::string whole = ProgramWithResources({{kVersionType, two}});
  EXPECT_TRUE(ReadProgramImage(whole.substr(0, 0x200 + 0x80)).versionStrings.empty());
  // Beside a manifest, each is found by its type.
  ProgramImage both = ReadProgramImage(ProgramWithResources(
      {{kVersionType, two}, {kManifestType, Manifest("level=\"highestAvailable\"")}}));
  EXPECT_EQ(both.executionLevel, "highestAvailable");
  EXPECT_EQ(both.versionStrings.size(), 4u);
}

// Windows refuses such a program as a new process; the launcher hands it to
// the shell, which asks for the rights: it works, but the user must say yes.
TEST_F(StartCheckTest, ProgramThatAsksForAdministratorRights) {
  const std::string setup = ProgramWithManifest(Manifest("level=\"requireAdministrator\""));
  for (const char* settings : {"FileToRun=\"Setup Files\\Setup.exe\" /S", "ShellExec=1"}) {
    SCOPED_TRACE(settings);
    fs::remove_all(root_);
    Make("Start.exe");
    Make("Setup Files/Setup.exe", setup);
    Make("Installer/Start.exe", setup);
    Make("Start.ini", Lines({settings}));
    CheckReport report = Check("E:\\Start.exe");
    // An installer that asks for the rights is what installers do: a note.
    EXPECT_EQ(report.ExitCode(), 0);
    EXPECT_EQ(report.findings.front().severity, Severity::Info);
    EXPECT_EQ(report.elevation, "requireAdministrator");
    ASSERT_FALSE(report.findings.empty());
    const Finding& finding = report.findings.front();
    EXPECT_EQ(finding.code, "needs-administrator-rights");
    EXPECT_NE(finding.message.find("Windows asks for the rights when the media is opened"),
              std::string::npos)
        << finding.message;
  }
}

// Messages wrap at blanks to the console's width, never inside a word, and
// the lines after the first stand under the text.
TEST_F(StartCheckTest, FindingsWrapAtWordBoundaries) {
  Make("Start.exe");
  Make("Setup.exe");
  Make("Start.ini", Lines({"FileToRun=Setup.exe", "ShellExec=yes", "ShelExec=1"}));
  CheckReport report = Check("E:\\Start.exe");
  ASSERT_GE(report.findings.size(), 2u);
  std::string whole = FormatReport(report);
  for (size_t width : {40u, 79u}) {
    SCOPED_TRACE(width);
    std::string wrapped = FormatReport(report, width);
    std::string words, findings;
    size_t start = 0;
    bool inFindings = false;
    while (start < wrapped.size()) {
      size_t end = wrapped.find('\n', start);
      std::string line = wrapped.substr(start, end - start);
      start = end + 1;
      bool heading = line == "Warnings:" || line == "Notes:" || line == "Problems:";
      if (heading) inFindings = true;
      if (line.rfind("Verdict:", 0) == 0) inFindings = false;
      if (!inFindings || heading) continue;
      // A line is longer only where one word alone is.
      if (line.size() > width) {
        EXPECT_EQ(line.find(' ', 4), std::string::npos) << line;
      }
      EXPECT_TRUE(line.rfind("  - ", 0) == 0 || line.rfind("    ", 0) == 0) << line;
      findings += (line.rfind("  - ", 0) == 0 ? "\n" : " ") + line.substr(4);
    }
    // Joined again, the lines are the messages, word for word.
    std::string expected;
    for (Severity severity : {Severity::Error, Severity::Warning, Severity::Info}) {
      for (const Finding& finding : report.findings) {
        if (finding.severity == severity) expected += "\n" + finding.message;
      }
    }
    EXPECT_EQ(findings, expected);
  }
  EXPECT_EQ(FormatReport(report, 0), whole);
}

TEST_F(StartCheckTest, SettingsLastWrittenBefore1980CountAsAbsent) {
  Make("Start.exe");
  Make("Installer/Start.exe");
  Make("Start.ini", Lines({"FileToRun=x.exe"}));
  ASSERT_TRUE(DateIn1975(root_ / "Start.ini"));
  CheckReport report = Check("E:\\Start.exe");
  EXPECT_EQ(report.settingsState, SettingsState::OutsideDosDates);
  EXPECT_EQ(report.commandLine, "E:\\..\\Installer\\Start.exe");
  EXPECT_EQ(report.ExitCode(), 1);
}

TEST_F(StartCheckTest, FlagReadingsAreExplained) {
  Make("Start.exe");
  Make("x.exe");
  Make("Start.ini", Lines({"FileToRun=x.exe", "ShellExec=yes", "BrowseForFolder=$0"}));
  CheckReport report = Check("E:\\Start.exe");
  std::string text = FormatReport(report);
  EXPECT_NE(text.find("ShellExec       = \"yes\": not a number, off"), std::string::npos) << text;
  EXPECT_NE(text.find("BrowseForFolder = \"$0\": 0, off"), std::string::npos) << text;
  EXPECT_NE(text.find("BrowsePath      = (missing)"), std::string::npos) << text;
  nlohmann::json json = nlohmann::json::parse(FormatReportJson(report));
  EXPECT_EQ(json["settings"]["values"]["ShellExec"],
            nlohmann::json({{"present", true}, {"text", "yes"}, {"cut", false}, {"number", nullptr},
                            {"on", false}}));
  EXPECT_EQ(json["settings"]["values"]["BrowseForFolder"]["number"], 0);
  EXPECT_EQ(json["findings"][0]["code"], "flag-not-a-number");
  EXPECT_EQ(json["verdict"], "worksWithWarnings");
  EXPECT_EQ(json["exitCode"], 1);
}

TEST_F(StartCheckTest, LetterCaseOfTheMediaDoesNotMatter) {
  Make("Start.exe");
  Make("SETUP/setup.EXE");
  Make("Start.ini", Lines({"FileToRun=E:\\Setup\\Setup.exe"}));
  CheckReport report = Check("E:\\Start.exe");
  EXPECT_EQ(report.targetExists, Existence::Yes);
  EXPECT_EQ(report.currentDirectory, "E:\\Setup");
  EXPECT_EQ(report.ExitCode(), 0);
}

// The example media folders of the repository, with a stand-in for each
// program their README says goes there: without it nothing would start, with
// it the launch works as configured.
TEST_F(StartCheckTest, ExampleFolders) {
  struct Example {
    const char* folder;
    const char* launcherFile;  // where Start.exe goes, relative to the folder
    const char* program;       // the stand-in to place there too; "" for none
    const char* mode;
  };
  const Example examples[] = {
      {"cd-installer", "Start.exe", "Setup/Setup.exe", "ProcessStart"},
      {"elevated-installer", "Start.exe", "Setup/Setup.exe", "ProcessStart"},
      {"plain-cd", "CD/Start.exe", "Installer/Start.exe", "ProcessStart"},
      {"download-page", "Start.exe", "", "ShellOpen"},
      {"usb-docs", "Start.exe", "", "FolderBrowse"},
  };
  for (const Example& example : examples) {
    SCOPED_TRACE(example.folder);
    fs::remove_all(root_);
    fs::copy(fs::path(START_EXAMPLES_DIR) / example.folder, root_, fs::copy_options::recursive);
    Make(example.launcherFile);
    std::string launcher = std::string("E:\\") + example.launcherFile;
    for (char& c : launcher) c = c == '/' ? '\\' : c;
    if (*example.program) {
      CheckReport missing = Check(launcher);
      EXPECT_EQ(missing.ExitCode(), 2) << FormatReport(missing);
      Make(example.program);
    }
    CheckReport report = Check(launcher);
    EXPECT_EQ(report.mode, example.mode);
    EXPECT_EQ(report.ExitCode(), 0) << FormatReport(report);
  }
}

}  // namespace
