// Settling the double-byte rule from the platform's locale answers, and the
// kind of each byte under that rule.
#include "paths/double_byte_text.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "fake_platform.h"

namespace {

using Calls = std::vector<std::string>;
using Ranges = std::array<unsigned char, 12>;

const Ranges kJapaneseRanges = {0x81, 0x9F, 0xE0, 0xFC, 0, 0, 0, 0, 0, 0, 0, 0};

std::vector<int> Values(std::initializer_list<std::pair<int, int>> ranges) {
  std::vector<int> values;
  for (const auto& range : ranges) {
    for (int value = range.first; value <= range.second; ++value) values.push_back(value);
  }
  return values;
}

const std::vector<int> kJapaneseLeadBytes = Values({{0x81, 0x9F}, {0xE0, 0xFC}});

std::vector<int> LeadByteValues() {
  std::vector<int> values;
  for (int value = 0; value < 256; ++value) {
    if (IsLeadByteValue(static_cast<unsigned char>(value))) values.push_back(value);
  }
  return values;
}

std::string Hex(unsigned value) {
  char text[16];
  snprintf(text, sizeof text, "0x%04X", value);
  return text;
}

// Japanese on NT; a test changes what it needs before detecting.
void AnswerAsJapaneseNt() {
  Fake().threadLocale = 0x0411;
  Fake().platformId = 2;
  Fake().localeCodePageText = "932";
  Fake().leadByteRanges[932] = kJapaneseRanges;
}

// Every test starts from the fake's defaults and leaves the rule off, as the
// fake's defaults (US English on NT) give it.
class DoubleByteDetection : public ::testing::Test {
 protected:
  void SetUp() override { ResetFake(); }
  void TearDown() override {
    ResetFake();
    DetectDoubleByteText();
  }
};

TEST_F(DoubleByteDetection, WesternLanguagesOnNtStayOffWithoutAskingForTheCodePage) {
  const uint32_t locales[] = {
      0x0400, 0x0406, 0x0407, 0x0409, 0x040A, 0x040B, 0x040C, 0x0410, 0x0413, 0x0414, 0x0416,
      0x041D,
      0x0809,      // English (United Kingdom)
      0x0C0A,      // Spanish (modern sort)
      0x00010407,  // German (phone book sort)
  };
  for (uint32_t locale : locales) {
    SCOPED_TRACE("locale " + Hex(locale));
    ResetFake();
    AnswerAsJapaneseNt();  // a code page that would have lead bytes, were it asked for
    Fake().threadLocale = locale;
    DetectDoubleByteText();
    EXPECT_FALSE(DoubleByteTextOn());
    EXPECT_EQ(LeadByteValues(), std::vector<int>{});
    EXPECT_EQ(Fake().calls, (Calls{"GetThreadLocale", "GetVersionExA"}));
  }
}

TEST_F(DoubleByteDetection, ThreadLocaleZeroCountsAsUsEnglish) {
  AnswerAsJapaneseNt();
  Fake().threadLocale = 0;
  DetectDoubleByteText();
  EXPECT_FALSE(DoubleByteTextOn());
  EXPECT_EQ(Fake().calls, (Calls{"GetThreadLocale", "GetVersionExA"}));

  // Off NT the code page is asked of that locale.
  ResetFake();
  AnswerAsJapaneseNt();
  Fake().threadLocale = 0;
  Fake().platformId = 1;
  Fake().dbcsEnabledMetric = 1;
  DetectDoubleByteText();
  EXPECT_TRUE(DoubleByteTextOn());
  EXPECT_EQ(Fake().calls, (Calls{"GetThreadLocale", "GetVersionExA",
                                 "GetSystemMetrics(SM_DBCSENABLED)", "GetLocaleInfoA(1033)",
                                 "GetCPInfo(932)"}));
}

struct NtLocaleRow {
  const char* what;
  uint32_t locale;
  const char* codePageText;
  uint32_t codePage;
  Ranges ranges;
  bool on;
  std::vector<int> leadBytes;
};

TEST_F(DoubleByteDetection, OtherLanguagesOnNtGoOnWhenTheirCodePageHasLeadBytes) {
  const NtLocaleRow rows[] = {
      {"Japanese", 0x0411, "932", 932, kJapaneseRanges, true, kJapaneseLeadBytes},
      {"Chinese (PRC)", 0x0804, "936", 936, {0x81, 0xFE}, true, Values({{0x81, 0xFE}})},
      {"Russian", 0x0419, "1251", 1251, {}, false, {}},
      {"only a pair whose last is below its first", 0x0411, "932", 932, {0x9F, 0x81}, false, {}},
      // The primary language is the low 10 bits: 0x309 is not English (0x09).
      {"primary language 0x309", 0x0309, "932", 932, kJapaneseRanges, true, kJapaneseLeadBytes},
  };
  for (const NtLocaleRow& row : rows) {
    SCOPED_TRACE(row.what);
    ResetFake();
    Fake().threadLocale = row.locale;
    Fake().platformId = 2;
    Fake().localeCodePageText = row.codePageText;
    Fake().leadByteRanges[row.codePage] = row.ranges;
    DetectDoubleByteText();
    EXPECT_EQ(DoubleByteTextOn(), row.on);
    EXPECT_EQ(LeadByteValues(), row.leadBytes);
    EXPECT_EQ(Fake().calls,
              (Calls{"GetThreadLocale", "GetVersionExA",
                     "GetLocaleInfoA(" + std::to_string(row.locale) + ")",
                     "GetCPInfo(" + std::to_string(row.codePage) + ")"}));
  }
}

struct OtherPlatformRow {
  const char* what;
  bool versionCallSucceeds;
  uint32_t platformId;
  uint32_t locale;
  int metric;
  bool on;
  std::vector<int> leadBytes;
  Calls calls;
};

TEST_F(DoubleByteDetection, OtherPlatformsFollowTheSystemMetric) {
  const Calls offCalls = {"GetThreadLocale", "GetVersionExA", "GetSystemMetrics(SM_DBCSENABLED)"};
  auto onCalls = [&](const char* locale, const char* codePage) {
    Calls calls = offCalls;
    calls.push_back(std::string("GetLocaleInfoA(") + locale + ")");
    calls.push_back(std::string("GetCPInfo(") + codePage + ")");
    return calls;
  };
  const OtherPlatformRow rows[] = {
      {"Japanese Windows 9x", true, 1, 0x0411, 1, true, kJapaneseLeadBytes, onCalls("1041", "932")},
      {"Japanese language, metric 0", true, 1, 0x0411, 0, false, {}, offCalls},
      {"version call fails on NT", false, 2, 0x0411, 0, false, {}, offCalls},
      // Off NT the language plays no part, and the rule is on even where the
      // code page has no lead bytes.
      {"English, metric on", true, 0, 0x0409, 1, true, {}, onCalls("1033", "1252")},
      {"English, version call fails, metric on", false, 2, 0x0409, 1, true, {},
       onCalls("1033", "1252")},
  };
  for (const OtherPlatformRow& row : rows) {
    SCOPED_TRACE(row.what);
    ResetFake();
    Fake().versionCallSucceeds = row.versionCallSucceeds;
    Fake().platformId = row.platformId;
    Fake().threadLocale = row.locale;
    Fake().dbcsEnabledMetric = row.metric;
    Fake().localeCodePageText = row.locale == 0x0411 ? "932" : "1252";
    Fake().leadByteRanges[932] = kJapaneseRanges;
    DetectDoubleByteText();
    EXPECT_EQ(DoubleByteTextOn(), row.on);
    EXPECT_EQ(LeadByteValues(), row.leadBytes);
    EXPECT_EQ(Fake().calls, row.calls);
  }
}

struct CodePageTextRow {
  std::string text;
  bool asksAnsiCodePage;
};

TEST_F(DoubleByteDetection, TakesTheLocaleCodePageOnlyWhenItIsAWholeDecimalNumber) {
  const CodePageTextRow rows[] = {
      {"932", false},
      {"0000932", false},                       // all seven bytes, no zero byte
      {std::string("932\0" "12", 6), false},  // up to the first zero byte
      {"abc", true},
      {"", true},
      {"932x", true},
      {" 932", true},
      {"-932", true},
  };
  for (const CodePageTextRow& row : rows) {
    SCOPED_TRACE("code page text \"" + row.text + "\"");
    ResetFake();
    AnswerAsJapaneseNt();
    Fake().localeCodePageText = row.text;
    Fake().ansiCodePage = 936;
    Fake().leadByteRanges[936] = {0xA1, 0xA2};
    DetectDoubleByteText();
    EXPECT_TRUE(DoubleByteTextOn());
    if (row.asksAnsiCodePage) {
      EXPECT_EQ(LeadByteValues(), Values({{0xA1, 0xA2}}));
      EXPECT_EQ(Fake().calls, (Calls{"GetThreadLocale", "GetVersionExA", "GetLocaleInfoA(1041)",
                                     "GetACP", "GetCPInfo(936)"}));
    } else {
      EXPECT_EQ(LeadByteValues(), kJapaneseLeadBytes);
      EXPECT_EQ(Fake().calls, (Calls{"GetThreadLocale", "GetVersionExA", "GetLocaleInfoA(1041)",
                                     "GetCPInfo(932)"}));
    }
  }
}

struct RangeWalkRow {
  const char* what;
  Ranges ranges;
  std::vector<int> leadBytes;
};

TEST_F(DoubleByteDetection, WalksLeadByteRangesInPairs) {
  const RangeWalkRow rows[] = {
      {"stops at the first pair of two zeros",
       {0x81, 0x82, 0, 0, 0xE0, 0xE1},
       Values({{0x81, 0x82}})},
      {"skips a pair whose last is below its first and goes on",
       {0x9F, 0x81, 0xE0, 0xE1},
       Values({{0xE0, 0xE1}})},
      {"a pair with one zero is no end",
       {0x81, 0x00, 0xE0, 0xE0},
       Values({{0xE0, 0xE0}})},
      {"reads all six pairs",
       {0x81, 0x81, 0x83, 0x83, 0x85, 0x85, 0x87, 0x87, 0x89, 0x89, 0xFE, 0xFF},
       Values({{0x81, 0x81}, {0x83, 0x83}, {0x85, 0x85}, {0x87, 0x87}, {0x89, 0x89},
               {0xFE, 0xFF}})},
  };
  for (const RangeWalkRow& row : rows) {
    SCOPED_TRACE(row.what);
    ResetFake();
    AnswerAsJapaneseNt();
    Fake().leadByteRanges[932] = row.ranges;
    DetectDoubleByteText();
    EXPECT_TRUE(DoubleByteTextOn());
    EXPECT_EQ(LeadByteValues(), row.leadBytes);
  }
}

TEST_F(DoubleByteDetection, ForgetsWhatAnEarlierDetectionSet) {
  AnswerAsJapaneseNt();
  DetectDoubleByteText();
  ASSERT_TRUE(DoubleByteTextOn());

  ResetFake();  // US English on NT
  DetectDoubleByteText();
  EXPECT_FALSE(DoubleByteTextOn());
  EXPECT_EQ(LeadByteValues(), std::vector<int>{});

  ResetFake();
  AnswerAsJapaneseNt();
  DetectDoubleByteText();
  ResetFake();
  AnswerAsJapaneseNt();
  Fake().leadByteRanges[932] = {0xA1, 0xA2};
  DetectDoubleByteText();
  EXPECT_EQ(LeadByteValues(), Values({{0xA1, 0xA2}}));
}

const char* KindName(ByteKind kind) {
  switch (kind) {
    case ByteKind::Single:
      return "single";
    case ByteKind::Lead:
      return "lead";
    case ByteKind::Trail:
      return "trail";
  }
  return "?";
}

struct ByteKindRow {
  std::string text;
  size_t position;
  ByteKind kind;
};

void ExpectByteKinds(const std::vector<ByteKindRow>& rows) {
  for (const ByteKindRow& row : rows) {
    SCOPED_TRACE("position " + std::to_string(row.position) + " of \"" + row.text + "\"");
    EXPECT_STREQ(KindName(ByteKindAt(TextView(row.text.data(), row.text.size()), row.position)),
                 KindName(row.kind));
  }
}

class ByteKinds : public DoubleByteDetection {};

TEST_F(ByteKinds, EveryByteIsSingleWithTheRuleOff) {
  AnswerAsJapaneseNt();
  DetectDoubleByteText();
  ResetFake();
  DetectDoubleByteText();
  ASSERT_FALSE(DoubleByteTextOn());
  ExpectByteKinds({
      {"\x95\x5C", 1, ByteKind::Single},
      {"\x95\x5C", 2, ByteKind::Single},
      {"\x81\x81\x81\x5C", 3, ByteKind::Single},
      {"\x81\x81\x81\x5C", 4, ByteKind::Single},
  });
}

TEST_F(ByteKinds, OddRunOfLeadByteValuesMakesATrailByte) {
  AnswerAsJapaneseNt();
  DetectDoubleByteText();
  ASSERT_TRUE(DoubleByteTextOn());
  ExpectByteKinds({
      {"\x95\x5C", 1, ByteKind::Lead},
      {"\x95\x5C", 2, ByteKind::Trail},
      {"A\x95", 1, ByteKind::Single},
      {"A\x95", 2, ByteKind::Lead},
      {"\x81\x81\x81\x5C", 2, ByteKind::Trail},
      {"\x81\x81\x81\x5C", 3, ByteKind::Lead},
      {"\x81\x81\x81\x5C", 4, ByteKind::Trail},
      {"\x81\x81\\", 3, ByteKind::Single},
      // The run counts back only to the first byte that is no lead-byte value.
      {"\x95" "A\x95\x5C", 4, ByteKind::Trail},
      {"\x95\x95" "A\x95\x95\x5C", 6, ByteKind::Single},
      // A trail byte's own value plays no part.
      {"\x95" "A", 2, ByteKind::Trail},
      {"\x95\xE0", 2, ByteKind::Trail},
      // Values just outside the lead-byte ranges.
      {"\x80\x5C", 2, ByteKind::Single},
      {"\xA0\x5C", 2, ByteKind::Single},
      {"\xFD\x5C", 2, ByteKind::Single},
      // A 0 byte is single, even after a lead-byte value.
      {std::string("\x95\0", 2), 2, ByteKind::Single},
  });
}

}  // namespace
