// Integer texts of the settings file.
#include "settings/integer_text.h"

#include <gtest/gtest.h>

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int32_t kUntouched = 0x5A5A5A5A;

struct IntegerRow {
  std::string text;
  bool accepted;
  int32_t value;  // when accepted
};

IntegerRow Accepts(std::string text, int32_t value) { return {std::move(text), true, value}; }
IntegerRow Rejects(std::string text) { return {std::move(text), false, 0}; }

void ExpectConversions(const std::vector<IntegerRow>& rows) {
  for (const IntegerRow& row : rows) {
    SCOPED_TRACE("text \"" + row.text + "\"");
    int32_t value = kUntouched;
    bool accepted = IntegerFromText(TextView(row.text.data(), row.text.size()), value);
    EXPECT_EQ(accepted, row.accepted);
    if (row.accepted) {
      EXPECT_EQ(value, row.value);
    }
  }
}

TEST(IntegerFromText, ReadsDecimalTextsAfterBlanksAndASign) {
  ExpectConversions({
      Accepts("1", 1),
      Accepts("0", 0),
      Accepts("-1", -1),
      Accepts("+1", 1),
      Accepts("-0", 0),
      Accepts("2", 2),
      Accepts("09", 9),
      Accepts("000000000000000000012", 12),
      Accepts(" 1", 1),
      Accepts("   -7", -7),
  });
}

TEST(IntegerFromText, KeepsDecimalTextsWithinSigned32Bits) {
  ExpectConversions({
      Accepts("2147483647", 2147483647),
      Rejects("2147483648"),
      Accepts("-2147483648", INT32_MIN),
      Rejects("-2147483649"),
      Accepts("0000000000002147483647", 2147483647),
      // Beyond 32 bits: rejected, never wrapped round.
      Rejects("4294967297"),
      Rejects("99999999999"),
  });
}

TEST(IntegerFromText, ReadsHexadecimalTextsAfterAMarker) {
  ExpectConversions({
      Accepts("$10", 16),
      Accepts("x10", 16),
      Accepts("X1f", 31),
      Accepts("$aBcD", 43981),
      Accepts("0x10", 16),
      Accepts("0X10", 16),
      Accepts("-$10", -16),
      Accepts("-0x10", -16),
      Accepts("+x10", 16),
      Accepts("$0", 0),
  });
}

TEST(IntegerFromText, ReadsHexadecimalTextsAsAll32Bits) {
  ExpectConversions({
      Accepts("$FFFFFFFF", -1),
      Accepts("$80000000", INT32_MIN),
      Accepts("-$FFFFFFFF", 1),
      Accepts("-$80000000", INT32_MIN),
      Accepts("$0000000000FFFFFFFF", -1),
      Rejects("$100000000"),
      Rejects("$1000000001"),
  });
}

TEST(IntegerFromText, RejectsTextsThatAreNoInteger) {
  ExpectConversions({
      Rejects("1 "),
      Rejects("\t1"),
      Rejects("\xA0" "1"),
      Rejects(""),
      Rejects("   "),
      Rejects("yes"),
      Rejects("true"),
      Rejects("True"),
      Rejects("1.0"),
      Rejects("1e3"),
      Rejects("1A"),
      Rejects("-"),
      Rejects("- 5"),
      Rejects("--5"),
      Rejects("$-10"),
      Rejects("$ 10"),
      Rejects("00x10"),
      Rejects("0x"),
      Rejects("$"),
      Rejects("-x"),
      Rejects("$G"),
  });
}

TEST(IntegerFromText, EndsTheTextAtItsFirstZeroByte) {
  ExpectConversions({
      Accepts(std::string("12\0" "3", 4), 12),
      Rejects(std::string("\0" "12", 3)),
  });
}

}  // namespace
