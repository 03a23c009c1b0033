// Reads a settings file the way Windows' GetPrivateProfileStringA does; the
// rules are listed in profile_reader.h.
#include "profile_reader.h"

#include <algorithm>
#include <iterator>

#include "code_page.h"

namespace {

using Units = std::u16string;  // text as Windows holds it: UTF-16 code units

// Code page 1252, bytes 0x80 to 0x9F; every other byte is its own code point.
constexpr char16_t kHigh1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

struct LookAlike {
  char16_t unit;
  unsigned char byte;
};

// The look-alike byte WideCharToMultiByte gives, for code page 1252, for a
// character the code page lacks (read from Wine's function, every UTF-16
// code unit tried); sorted by unit. The full-width forms U+FF01 to U+FF5E
// follow a rule of their own (see ToCodePage). Every other character the code
// page lacks becomes "?".
constexpr LookAlike kLookAlikes1252[] = {
    {0x0100, 0x41}, {0x0101, 0x61}, {0x0102, 0x41}, {0x0103, 0x61}, {0x0104, 0x41}, {0x0105, 0x61},
    {0x0106, 0x43}, {0x0107, 0x63}, {0x0108, 0x43}, {0x0109, 0x63}, {0x010A, 0x43}, {0x010B, 0x63},
    {0x010C, 0x43}, {0x010D, 0x63}, {0x010E, 0x44}, {0x010F, 0x64}, {0x0110, 0xD0}, {0x0111, 0x64},
    {0x0112, 0x45}, {0x0113, 0x65}, {0x0114, 0x45}, {0x0115, 0x65}, {0x0116, 0x45}, {0x0117, 0x65},
    {0x0118, 0x45}, {0x0119, 0x65}, {0x011A, 0x45}, {0x011B, 0x65}, {0x011C, 0x47}, {0x011D, 0x67},
    {0x011E, 0x47}, {0x011F, 0x67}, {0x0120, 0x47}, {0x0121, 0x67}, {0x0122, 0x47}, {0x0123, 0x67},
    {0x0124, 0x48}, {0x0125, 0x68}, {0x0126, 0x48}, {0x0127, 0x68}, {0x0128, 0x49}, {0x0129, 0x69},
    {0x012A, 0x49}, {0x012B, 0x69}, {0x012C, 0x49}, {0x012D, 0x69}, {0x012E, 0x49}, {0x012F, 0x69},
    {0x0130, 0x49}, {0x0131, 0x69}, {0x0134, 0x4A}, {0x0135, 0x6A}, {0x0136, 0x4B}, {0x0137, 0x6B},
    {0x0139, 0x4C}, {0x013A, 0x6C}, {0x013B, 0x4C}, {0x013C, 0x6C}, {0x013D, 0x4C}, {0x013E, 0x6C},
    {0x0141, 0x4C}, {0x0142, 0x6C}, {0x0143, 0x4E}, {0x0144, 0x6E}, {0x0145, 0x4E}, {0x0146, 0x6E},
    {0x0147, 0x4E}, {0x0148, 0x6E}, {0x014C, 0x4F}, {0x014D, 0x6F}, {0x014E, 0x4F}, {0x014F, 0x6F},
    {0x0150, 0x4F}, {0x0151, 0x6F}, {0x0154, 0x52}, {0x0155, 0x72}, {0x0156, 0x52}, {0x0157, 0x72},
    {0x0158, 0x52}, {0x0159, 0x72}, {0x015A, 0x53}, {0x015B, 0x73}, {0x015C, 0x53}, {0x015D, 0x73},
    {0x015E, 0x53}, {0x015F, 0x73}, {0x0162, 0x54}, {0x0163, 0x74}, {0x0164, 0x54}, {0x0165, 0x74},
    {0x0166, 0x54}, {0x0167, 0x74}, {0x0168, 0x55}, {0x0169, 0x75}, {0x016A, 0x55}, {0x016B, 0x75},
    {0x016C, 0x55}, {0x016D, 0x75}, {0x016E, 0x55}, {0x016F, 0x75}, {0x0170, 0x55}, {0x0171, 0x75},
    {0x0172, 0x55}, {0x0173, 0x75}, {0x0174, 0x57}, {0x0175, 0x77}, {0x0176, 0x59}, {0x0177, 0x79},
    {0x0179, 0x5A}, {0x017A, 0x7A}, {0x017B, 0x5A}, {0x017C, 0x7A}, {0x0180, 0x62}, {0x0189, 0xD0},
    {0x0191, 0x83}, {0x0197, 0x49}, {0x019A, 0x6C}, {0x019F, 0x4F}, {0x01A0, 0x4F}, {0x01A1, 0x6F},
    {0x01AB, 0x74}, {0x01AE, 0x54}, {0x01AF, 0x55}, {0x01B0, 0x75}, {0x01B6, 0x7A}, {0x01C0, 0x7C},
    {0x01C3, 0x21}, {0x01CD, 0x41}, {0x01CE, 0x61}, {0x01CF, 0x49}, {0x01D0, 0x69}, {0x01D1, 0x4F},
    {0x01D2, 0x6F}, {0x01D3, 0x55}, {0x01D4, 0x75}, {0x01D5, 0x55}, {0x01D6, 0x75}, {0x01D7, 0x55},
    {0x01D8, 0x75}, {0x01D9, 0x55}, {0x01DA, 0x75}, {0x01DB, 0x55}, {0x01DC, 0x75}, {0x01DE, 0x41},
    {0x01DF, 0x61}, {0x01E4, 0x47}, {0x01E5, 0x67}, {0x01E6, 0x47}, {0x01E7, 0x67}, {0x01E8, 0x4B},
    {0x01E9, 0x6B}, {0x01EA, 0x4F}, {0x01EB, 0x6F}, {0x01EC, 0x4F}, {0x01ED, 0x6F}, {0x01F0, 0x6A},
    {0x0261, 0x67}, {0x02B9, 0x27}, {0x02BA, 0x22}, {0x02BC, 0x27}, {0x02C4, 0x5E}, {0x02C8, 0x27},
    {0x02C9, 0xAF}, {0x02CA, 0xB4}, {0x02CB, 0x60}, {0x02CD, 0x5F}, {0x02DA, 0xB0}, {0x0300, 0x60},
    {0x0301, 0xB4}, {0x0302, 0x5E}, {0x0303, 0x7E}, {0x0304, 0xAF}, {0x0305, 0xAF}, {0x0308, 0xA8},
    {0x030A, 0xB0}, {0x030E, 0x22}, {0x0327, 0xB8}, {0x0331, 0x5F}, {0x0332, 0x5F}, {0x037E, 0x3B},
    {0x0393, 0x47}, {0x0398, 0x54}, {0x03A3, 0x53}, {0x03A6, 0x46}, {0x03A9, 0x4F}, {0x03B1, 0x61},
    {0x03B2, 0xDF}, {0x03B4, 0x64}, {0x03B5, 0x65}, {0x03BC, 0xB5}, {0x03C0, 0x70}, {0x03C3, 0x73},
    {0x03C4, 0x74}, {0x03C6, 0x66}, {0x04BB, 0x68}, {0x0589, 0x3A}, {0x066A, 0x25}, {0x2000, 0x20},
    {0x2001, 0x20}, {0x2002, 0x20}, {0x2003, 0x20}, {0x2004, 0x20}, {0x2005, 0x20}, {0x2006, 0x20},
    {0x2010, 0x2D}, {0x2011, 0x2D}, {0x2017, 0x3D}, {0x2024, 0xB7}, {0x2032, 0x27}, {0x2035, 0x60},
    {0x2044, 0x2F}, {0x2070, 0xB0}, {0x2074, 0x34}, {0x2075, 0x35}, {0x2076, 0x36}, {0x2077, 0x37},
    {0x2078, 0x38}, {0x207F, 0x6E}, {0x2080, 0x30}, {0x2081, 0x31}, {0x2082, 0x32}, {0x2083, 0x33},
    {0x2084, 0x34}, {0x2085, 0x35}, {0x2086, 0x36}, {0x2087, 0x37}, {0x2088, 0x38}, {0x2089, 0x39},
    {0x20A1, 0xA2}, {0x20A4, 0xA3}, {0x20A7, 0x50}, {0x2102, 0x43}, {0x2107, 0x45}, {0x210A, 0x67},
    {0x210B, 0x48}, {0x210C, 0x48}, {0x210D, 0x48}, {0x210E, 0x68}, {0x2110, 0x49}, {0x2111, 0x49},
    {0x2112, 0x4C}, {0x2113, 0x6C}, {0x2115, 0x4E}, {0x2118, 0x50}, {0x2119, 0x50}, {0x211A, 0x51},
    {0x211B, 0x52}, {0x211C, 0x52}, {0x211D, 0x52}, {0x2124, 0x5A}, {0x2128, 0x5A}, {0x212A, 0x4B},
    {0x212B, 0xC5}, {0x212C, 0x42}, {0x212D, 0x43}, {0x212E, 0x65}, {0x212F, 0x65}, {0x2130, 0x45},
    {0x2131, 0x46}, {0x2133, 0x4D}, {0x2134, 0x6F}, {0x2205, 0xD8}, {0x2212, 0x2D}, {0x2213, 0xB1},
    {0x2215, 0x2F}, {0x2216, 0x5C}, {0x2217, 0x2A}, {0x2218, 0xB0}, {0x2219, 0xB7}, {0x221A, 0x76},
    {0x221E, 0x38}, {0x2223, 0x7C}, {0x2229, 0x6E}, {0x2236, 0x3A}, {0x223C, 0x7E}, {0x2248, 0x98},
    {0x2261, 0x3D}, {0x2264, 0x3D}, {0x2265, 0x3D}, {0x226A, 0xAB}, {0x226B, 0xBB}, {0x22C5, 0xB7},
    {0x2302, 0xA6}, {0x2303, 0x5E}, {0x2310, 0xAC}, {0x2320, 0x28}, {0x2321, 0x29}, {0x2329, 0x3C},
    {0x232A, 0x3E}, {0x2500, 0x2D}, {0x2502, 0xA6}, {0x250C, 0x2B}, {0x2510, 0x2B}, {0x2514, 0x2B},
    {0x2518, 0x2B}, {0x251C, 0x2B}, {0x2524, 0xA6}, {0x252C, 0x2D}, {0x2534, 0x2D}, {0x253C, 0x2B},
    {0x2550, 0x2D}, {0x2551, 0xA6}, {0x2552, 0x2B}, {0x2553, 0x2B}, {0x2554, 0x2B}, {0x2555, 0x2B},
    {0x2556, 0x2B}, {0x2557, 0x2B}, {0x2558, 0x2B}, {0x2559, 0x2B}, {0x255A, 0x2B}, {0x255B, 0x2B},
    {0x255C, 0x2B}, {0x255D, 0x2B}, {0x255E, 0xA6}, {0x255F, 0xA6}, {0x2560, 0xA6}, {0x2561, 0xA6},
    {0x2562, 0xA6}, {0x2563, 0xA6}, {0x2564, 0x2D}, {0x2565, 0x2D}, {0x2566, 0x2D}, {0x2567, 0x2D},
    {0x2568, 0x2D}, {0x2569, 0x2D}, {0x256A, 0x2B}, {0x256B, 0x2B}, {0x256C, 0x2B}, {0x2580, 0xAF},
    {0x2584, 0x5F}, {0x2588, 0xA6}, {0x258C, 0xA6}, {0x2590, 0xA6}, {0x2591, 0xA6}, {0x2592, 0xA6},
    {0x2593, 0xA6}, {0x25A0, 0xA6}, {0x263C, 0xA4}, {0x2758, 0x7C}, {0x3000, 0x20}, {0x3008, 0x3C},
    {0x3009, 0x3E}, {0x300A, 0xAB}, {0x300B, 0xBB}, {0x301A, 0x5B}, {0x301B, 0x5D}, {0x30FB, 0xB7},
};

char16_t FromCodePage(unsigned char byte) {
  return byte >= 0x80 && byte < 0xA0 ? kHigh1252[byte - 0x80] : char16_t{byte};
}

// The code page 1252 byte of a unit, or "?" when it has none; a look-alike
// when `lookAlikes` is set, as WideCharToMultiByte gives it.
unsigned char ToCodePage(char16_t unit, bool lookAlikes) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<unsigned char>(unit);
  for (unsigned char byte = 0x80; byte < 0xA0; ++byte) {
    if (kHigh1252[byte - 0x80] == unit) return byte;
  }
  if (lookAlikes) {
    if (unit >= 0xFF01 && unit <= 0xFF5E) return static_cast<unsigned char>(unit - 0xFEE0);
    const LookAlike* end = std::end(kLookAlikes1252);
    const LookAlike* found = std::lower_bound(
        std::begin(kLookAlikes1252), end, unit,
        [](const LookAlike& entry, char16_t wanted) { return entry.unit < wanted; });
    if (found != end && found->unit == unit) return found->byte;
  }
  return '?';
}

// A final odd byte becomes a unit of its own: Wine reads one byte beyond the
// file, and that byte was 0 in every run.
Units FromUtf16(const std::string& bytes, size_t next, bool bigEndian) {
  Units text;
  for (; next + 1 < bytes.size(); next += 2) {
    unsigned int first = static_cast<unsigned char>(bytes[next]);
    unsigned int second = static_cast<unsigned char>(bytes[next + 1]);
    text.push_back(static_cast<char16_t>(bigEndian ? first << 8 | second : second << 8 | first));
  }
  if (next < bytes.size()) text.push_back(static_cast<unsigned char>(bytes[next]));
  return text;
}

Units FromFile(const std::string& bytes) {
  auto startsWith = [&bytes](const char* mark, size_t length) {
    return bytes.size() >= length && bytes.compare(0, length, mark, length) == 0;
  };
  // Windows' profile reader does not know a UTF-8 mark (Wine's skips it):
  // its three bytes are three ANSI characters at the start of the first line.
  if (startsWith("\xFF\xFE", 2)) return FromUtf16(bytes, 2, false);
  if (startsWith("\xFE\xFF", 2)) return FromUtf16(bytes, 2, true);
  Units text;
  text.reserve(bytes.size());
  for (char byte : bytes) text.push_back(FromCodePage(static_cast<unsigned char>(byte)));
  return text;
}

Units FromCodePage(const char* text) {
  Units units;
  for (; text && *text; ++text) units.push_back(FromCodePage(static_cast<unsigned char>(*text)));
  return units;
}

bool IsBlank(char16_t unit) {
  return (unit >= 0x09 && unit <= 0x0D) || unit == 0x1A || unit == 0x20;
}

Units Trimmed(const Units& text, size_t start, size_t end) {
  while (start < end && IsBlank(text[start])) ++start;
  while (end > start && IsBlank(text[end - 1])) --end;
  return text.substr(start, end - start);
}

Units UpToNul(const Units& text) { return text.substr(0, text.find(u'\0')); }

struct Key {
  Units name;
  Units value;
  bool hasValue;
  size_t line;
};

struct Section {
  Units name;
  std::vector<Key> keys;
};

bool IsLineEnd(char16_t unit) { return unit == u'\r' || unit == u'\n'; }

// The sections in file order; the first, named "", holds the keys before the
// first header.
std::vector<Section> ParseSections(const Units& text) {
  std::vector<Section> sections(1);
  size_t next = 0;
  size_t lineNumber = 1;
  while (next < text.size()) {
    const size_t start = next;
    const size_t line = lineNumber;
    while (next < text.size() && !IsLineEnd(text[next])) ++next;
    const size_t end = next;
    while (next < text.size() && IsLineEnd(text[next])) {
      bool crLf = text[next] == u'\r' && next + 1 < text.size() && text[next + 1] == u'\n';
      next += crLf ? 2 : 1;
      ++lineNumber;
    }

    Units content = Trimmed(text, start, end);
    if (content.empty()) continue;
    if (content[0] == u'[') {
      size_t close = content.rfind(u']');
      if (close != Units::npos && close > 0) {
        sections.push_back(Section{Trimmed(content, 1, close), {}});
        continue;
      }
    }
    size_t equals = content.find(u'=');
    if (equals == Units::npos) {
      sections.back().keys.push_back(Key{content, Units(), false, line});
    } else {
      sections.back().keys.push_back(Key{Trimmed(content, 0, equals),
                                         Trimmed(content, equals + 1, content.size()), true, line});
    }
  }
  return sections;
}

char16_t FoldAscii(char16_t unit) {
  return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

// A stored name matches a name asked for (trimmed, without NULs) when it
// starts with it, A-Z folded to a-z, and ends or holds a NUL right there.
bool NameMatches(const Units& stored, const Units& wanted) {
  if (stored.size() < wanted.size()) return false;
  for (size_t i = 0; i < wanted.size(); ++i) {
    if (FoldAscii(stored[i]) != FoldAscii(wanted[i])) return false;
  }
  return stored.size() == wanted.size() || stored[wanted.size()] == u'\0';
}

// What lands in a buffer of `size` units (size > 0) for a value or a default,
// without the NUL: cut at a NUL, one pair of quotation marks removed, cut to
// size - 1 units, and Windows' quirk of a quoted text that just fits.
Units CopiedText(const Units& value, size_t size) {
  Units text = UpToNul(value);
  bool quoted = text.size() >= 2 && (text[0] == u'"' || text[0] == u'\'') && text.back() == text[0];
  if (quoted) text.erase(0, 1);
  Units copied = text.substr(0, std::min(text.size(), size - 1));
  if (quoted && size >= text.size() && !copied.empty()) copied.pop_back();
  return copied;
}

std::string ToCodePage(const Units& text, bool lookAlikes) {
  std::string bytes;
  bytes.reserve(text.size());
  for (char16_t unit : text) bytes.push_back(static_cast<char>(ToCodePage(unit, lookAlikes)));
  return bytes;
}

bool IsUnicodeFile(const std::string& bytes) {
  return bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 || bytes.compare(0, 2, "\xFF\xFE") == 0 ||
         bytes.compare(0, 2, "\xFE\xFF") == 0;
}

std::string Utf8Of(const Units& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t point = text[i];
    if (point >= 0xD800 && point < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      point = 0x10000 + ((point - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (point < 0x80) {
      out += static_cast<char>(point);
    } else if (point < 0x800) {
      out += static_cast<char>(0xC0 | point >> 6);
      out += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
      out += static_cast<char>(0xE0 | point >> 12);
      out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (point & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | point >> 18);
      out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (point & 0x3F));
    }
  }
  return out;
}

// Text of a UTF-8 or UTF-16 file as Windows hands it to an ANSI caller: in the
// system's code page. Code page 1252 as measured against Wine's function
// (look-alikes and all); another code page through its own conversion.
std::string ToAnsi(const Units& text, bool unicodeFile, bool lookAlikes) {
  if (!unicodeFile || CheckerCodePage() == 1252) return ToCodePage(text, lookAlikes);
  bool exact = true;
  return Utf8ToAnsi(Utf8Of(text), exact);
}

}  // namespace

size_t ReadProfileValue(const std::string& fileBytes, const char* section, const char* key,
                        const char* defaultText, char* buffer, size_t size) {
  if (size == 0) return 0;
  const std::vector<Section> sections = ParseSections(FromFile(fileBytes));
  Units wantedSection = FromCodePage(section);
  wantedSection = Trimmed(wantedSection, 0, wantedSection.size());
  Units wantedKey = FromCodePage(key);
  wantedKey = Trimmed(wantedKey, 0, wantedKey.size());

  const Key* found = nullptr;
  for (const Section& candidate : sections) {
    if (!NameMatches(candidate.name, wantedSection)) continue;
    for (const Key& entry : candidate.keys) {
      if (NameMatches(entry.name, wantedKey)) {
        found = &entry;
        break;
      }
    }
    break;  // only the first section of the name counts
  }

  Units source;
  if (found && found->hasValue) {
    source = found->value;
  } else {
    source = FromCodePage(defaultText);
    size_t kept = source.size();
    while (kept > 1 && source[kept - 1] == u' ') --kept;
    source.resize(kept);
  }
  std::string value = ToAnsi(CopiedText(source, size), IsUnicodeFile(fileBytes), true);
  if (value.size() > size - 1) value.resize(size - 1);
  std::copy(value.begin(), value.end(), buffer);
  buffer[value.size()] = '\0';
  return value.size();
}

std::vector<ProfileEntry> ListProfileEntries(const std::string& fileBytes) {
  std::vector<ProfileEntry> entries;
  bool unicode = IsUnicodeFile(fileBytes);
  for (const Section& section : ParseSections(FromFile(fileBytes))) {
    for (const Key& entry : section.keys) {
      if (!entry.hasValue) continue;
      entries.push_back(ProfileEntry{
          ToAnsi(UpToNul(section.name), unicode, false), ToAnsi(UpToNul(entry.name), unicode, false),
          ToAnsi(CopiedText(entry.value, Units::npos), unicode, true), entry.line});
    }
  }
  return entries;
}
