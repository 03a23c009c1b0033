#include "paths/double_byte_text.h"

#include <stdint.h>

#include "platform/locale.h"

namespace {

bool doubleByteText = false;
uint32_t leadByteSet[256 / 32] = {};  // one bit per byte value

void AddLeadByte(unsigned value) { leadByteSet[value / 32] |= 1u << (value % 32); }

constexpr uint32_t kPlatformNt = 2;
constexpr uint32_t kEnglishUs = 0x0409;

// Primary languages whose code pages have no lead bytes.
bool IsWesternLanguage(uint32_t primaryLanguage) {
  switch (primaryLanguage) {
    case 0x00: case 0x06: case 0x07: case 0x09: case 0x0A: case 0x0B:
    case 0x0C: case 0x10: case 0x13: case 0x14: case 0x16: case 0x1D:
      return true;
    default:
      return false;
  }
}

// The locale's ANSI code page when its text is a whole decimal number, else
// the system's.
uint32_t CodePageOf(uint32_t locale) {
  char text[7];
  QueryLocaleAnsiCodePage(locale, text);
  uint32_t codePage = 0;
  size_t digits = 0;
  for (; digits < sizeof text && text[digits] != 0; ++digits) {
    if (text[digits] < '0' || text[digits] > '9') return QueryAnsiCodePage();
    codePage = codePage * 10 + static_cast<uint32_t>(text[digits] - '0');
  }
  return digits == 0 ? QueryAnsiCodePage() : codePage;
}

// Returns whether any value was set.
bool FillLeadByteSet(uint32_t locale) {
  unsigned char ranges[12];
  QueryLeadByteRanges(CodePageOf(locale), ranges);
  bool any = false;
  for (size_t pair = 0; pair < 6; ++pair) {
    unsigned first = ranges[2 * pair];
    unsigned last = ranges[2 * pair + 1];
    if (first == 0 && last == 0) break;
    for (unsigned value = first; value <= last; ++value) {
      AddLeadByte(value);
      any = true;
    }
  }
  return any;
}

}  // namespace

void DetectDoubleByteText() {
  for (uint32_t& bits : leadByteSet) bits = 0;
  doubleByteText = false;

  uint32_t locale = QueryThreadLocale();
  if (locale == 0) locale = kEnglishUs;
  uint32_t primaryLanguage = locale & 0x3FF;

  uint32_t platformId = 0;
  if (QueryPlatformId(platformId) && platformId == kPlatformNt) {
    if (IsWesternLanguage(primaryLanguage)) return;
    doubleByteText = FillLeadByteSet(locale);
    return;
  }
  doubleByteText = QueryDbcsEnabledMetric() != 0;
  if (doubleByteText) FillLeadByteSet(locale);
}

bool DoubleByteTextOn() { return doubleByteText; }

bool IsLeadByteValue(unsigned char value) {
  return ((leadByteSet[value / 32] >> (value % 32)) & 1u) != 0;
}

ByteKind ByteKindAt(const TextView& text, size_t position) {
  if (!doubleByteText) return ByteKind::Single;
  unsigned char value = text.At(position);
  if (value == 0) return ByteKind::Single;
  size_t leadRun = 0;
  for (size_t before = position - 1; before >= 1 && IsLeadByteValue(text.At(before)); --before) {
    ++leadRun;
  }
  if (leadRun % 2 == 1) return ByteKind::Trail;
  return IsLeadByteValue(value) ? ByteKind::Lead : ByteKind::Single;
}
