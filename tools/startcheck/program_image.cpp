#include "program_image.h"

#include <stddef.h>

#include <algorithm>

namespace {

constexpr uint32_t kVersionType = 16;   // RT_VERSION
constexpr uint32_t kManifestType = 24;  // RT_MANIFEST

class Reader {
 public:
  explicit Reader(const std::string& bytes) : bytes_(bytes) {}
  bool Has(size_t offset, size_t size) const {
    return offset <= bytes_.size() && size <= bytes_.size() - offset;
  }
  uint32_t U16(size_t offset) const { return Byte(offset) | Byte(offset + 1) << 8; }
  uint32_t U32(size_t offset) const { return U16(offset) | U16(offset + 2) << 16; }

 private:
  uint32_t Byte(size_t offset) const {
    return offset < bytes_.size() ? static_cast<unsigned char>(bytes_[offset]) : 0;
  }
  const std::string& bytes_;
};

struct Section {
  uint32_t address, size, fileOffset, fileSize;
};

// The file offset of an address inside the image, or 0 when no section holds
// it in the file.
size_t FileOffsetOf(uint32_t address, const Section* sections, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const Section& section = sections[i];
    uint32_t size = section.size > section.fileSize ? section.size : section.fileSize;
    if (address >= section.address && address - section.address < size &&
        address - section.address < section.fileSize) {
      return section.fileOffset + (address - section.address);
    }
  }
  return 0;
}

// The first entry of a resource directory whose id is `id` (any entry when
// `id` is 0); its offset field, or 0.
uint32_t DirectoryEntry(const Reader& in, size_t directory, uint32_t id) {
  if (!in.Has(directory, 16)) return 0;
  size_t count = in.U16(directory + 12) + in.U16(directory + 14);
  for (size_t i = 0; i < count && i < 4096; ++i) {
    size_t entry = directory + 16 + i * 8;
    if (!in.Has(entry, 8)) return 0;
    if (id == 0 || in.U32(entry) == id) return in.U32(entry + 4);
  }
  return 0;
}

// Where the data of the first resource of a type lies in the file; false
// when the image has none, or its tables point outside the file.
bool FindResource(const Reader& in, size_t root, uint32_t type, const Section* sections,
                  size_t count, size_t& data, size_t& size) {
  // Type, then name, then language: each level's offset is from the root,
  // with the top bit set for a further directory.
  uint32_t offset = DirectoryEntry(in, root, type);
  for (int level = 0; level < 2 && (offset & 0x80000000u); ++level) {
    offset = DirectoryEntry(in, root + (offset & 0x7FFFFFFFu), 0);
  }
  if (offset == 0 || (offset & 0x80000000u) || !in.Has(root + offset, 16)) return false;
  data = FileOffsetOf(in.U32(root + offset), sections, count);
  size = in.U32(root + offset + 4);
  return data != 0 && in.Has(data, size);
}

// UTF-16 code units as UTF-8; a lone surrogate comes out as U+FFFD.
void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The UTF-16 text from `at` up to its NUL or to `end`, in UTF-8; `next` is
// where the NUL ends (or `end`).
std::string TextUpTo(const Reader& in, size_t at, size_t end, size_t& next) {
  std::string text;
  for (; at + 2 <= end; at += 2) {
    uint32_t unit = in.U16(at);
    if (unit == 0) {
      next = at + 2;
      return text;
    }
    uint32_t low = at + 4 <= end ? in.U16(at + 2) : 0;
    if (unit >= 0xD800 && unit < 0xDC00 && low >= 0xDC00 && low < 0xE000) {
      AppendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
      at += 2;
    } else {
      AppendUtf8(text, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
    }
  }
  next = end;
  return text;
}

// One node of the version information: a length, a value's length, a
// type (1: text), a key, then the value and the children, each on a 32-bit
// boundary counted from the start of the resource.
struct VersionNode {
  std::string key;
  size_t value = 0;     // where the value starts
  size_t children = 0;  // where the first child starts
  size_t end = 0;       // one past the node
};

size_t Aligned(size_t base, size_t at) { return base + ((at - base + 3) & ~size_t{3}); }

// The node at `at`, which must end by `limit`; false when it is cut short.
bool ReadVersionNode(const Reader& in, size_t base, size_t at, size_t limit, VersionNode& node) {
  if (at > limit || limit - at < 6) return false;
  size_t length = in.U16(at);
  if (length < 6 || length > limit - at) return false;
  node.end = at + length;
  size_t keyEnd = node.end;
  node.key = TextUpTo(in, at + 6, node.end, keyEnd);
  size_t valueBytes = size_t{in.U16(at + 2)} * (in.U16(at + 4) == 1 ? 2 : 1);
  node.value = std::min(Aligned(base, keyEnd), node.end);
  node.children = std::min(Aligned(base, node.value + valueBytes), node.end);
  return true;
}

// VS_VERSIONINFO, its StringFileInfo, each StringTable in that, and each
// String in those.
void ReadVersionStrings(const Reader& in, size_t data, size_t size,
                        std::vector<VersionString>& strings) {
  VersionNode root, info, table, text;
  if (!ReadVersionNode(in, data, data, data + size, root) || root.key != "VS_VERSION_INFO") {
    return;
  }
  for (size_t at = root.children; ReadVersionNode(in, data, at, root.end, info);
       at = Aligned(data, info.end)) {
    if (info.key != "StringFileInfo") continue;
    for (size_t t = info.children; ReadVersionNode(in, data, t, info.end, table);
         t = Aligned(data, table.end)) {
      for (size_t s = table.children; ReadVersionNode(in, data, s, table.end, text);
           s = Aligned(data, text.end)) {
        // The value up to its NUL: some tools count its length in bytes,
        // others in characters.
        size_t ignored = 0;
        strings.push_back({text.key, TextUpTo(in, text.value, text.end, ignored)});
      }
    }
  }
}

// The value of the attribute `level` after "requestedExecutionLevel".
std::string ExecutionLevel(const std::string& manifest) {
  size_t element = manifest.find("requestedExecutionLevel");
  if (element == std::string::npos) return "";
  size_t end = manifest.find('>', element);
  size_t attribute = manifest.find("level", element + 23);
  if (attribute == std::string::npos || attribute > end) return "";
  size_t quote = manifest.find_first_of("\"'", attribute);
  if (quote == std::string::npos || quote > end) return "";
  size_t close = manifest.find(manifest[quote], quote + 1);
  if (close == std::string::npos) return "";
  return manifest.substr(quote + 1, close - quote - 1);
}

}  // namespace

ProgramImage ReadProgramImage(const std::string& bytes) {
  ProgramImage image;
  Reader in(bytes);
  if (!in.Has(0, 64) || bytes[0] != 'M' || bytes[1] != 'Z') return image;
  size_t pe = in.U32(0x3C);
  if (!in.Has(pe, 24) || bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return image;
  image.isImage = true;
  image.machine = static_cast<uint16_t>(in.U16(pe + 4));
  size_t sectionCount = in.U16(pe + 6);
  size_t optional = pe + 24;
  size_t optionalSize = in.U16(pe + 20);
  uint32_t magic = in.U16(optional);
  size_t directories = optional + (magic == 0x20B ? 112 : 96);
  if (magic != 0x10B && magic != 0x20B) return image;
  if (in.U32(directories - 4) < 3 || !in.Has(directories + 16, 8)) return image;
  uint32_t resources = in.U32(directories + 16);  // entry 2, the resource table
  if (resources == 0) return image;

  Section sections[96];
  size_t count = 0;
  for (size_t i = 0; i < sectionCount && count < 96; ++i) {
    size_t header = optional + optionalSize + i * 40;
    if (!in.Has(header, 40)) break;
    sections[count++] = {in.U32(header + 12), in.U32(header + 8), in.U32(header + 20),
                         in.U32(header + 16)};
  }
  size_t root = FileOffsetOf(resources, sections, count);
  if (root == 0) return image;

  size_t data = 0, size = 0;
  if (FindResource(in, root, kManifestType, sections, count, data, size)) {
    image.hasManifest = true;
    image.executionLevel = ExecutionLevel(bytes.substr(data, size));
  }
  if (FindResource(in, root, kVersionType, sections, count, data, size)) {
    ReadVersionStrings(in, data, size, image.versionStrings);
  }
  return image;
}

bool AsksForAdministratorRights(const ProgramImage& image) {
  return image.executionLevel == "requireAdministrator" ||
         image.executionLevel == "highestAvailable";
}
