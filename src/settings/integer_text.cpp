#include "settings/integer_text.h"

namespace {

// Bounds tested before each digit, so the accumulator never wraps.
constexpr uint32_t kDecimalBound = 214748364;   // 0x0CCCCCCC
constexpr uint32_t kHexadecimalBound = 0x0FFFFFFF;

int DigitValue(unsigned char byte, uint32_t base) {
  if (byte >= '0' && byte <= '9') return byte - '0';
  if (base == 16 && byte >= 'A' && byte <= 'F') return byte - 'A' + 10;
  if (base == 16 && byte >= 'a' && byte <= 'f') return byte - 'a' + 10;
  return -1;
}

}  // namespace

bool IntegerFromText(const TextView& text, int32_t& value) {
  size_t end = 0;
  while (end < text.length && text.bytes[end] != 0) ++end;
  size_t at = 0;
  auto byteAt = [&](size_t index) -> unsigned char {
    return index < end ? static_cast<unsigned char>(text.bytes[index]) : 0;
  };

  while (at < end && byteAt(at) == ' ') ++at;

  bool negative = false;
  if (byteAt(at) == '-') {
    negative = true;
    ++at;
  } else if (byteAt(at) == '+') {
    ++at;
  }

  uint32_t base = 10;
  unsigned char marker = byteAt(at);
  if (marker == '$' || marker == 'x' || marker == 'X') {
    base = 16;
    at += 1;
  } else if (marker == '0' && (byteAt(at + 1) == 'x' || byteAt(at + 1) == 'X')) {
    base = 16;
    at += 2;
  }

  if (at >= end) return false;

  uint32_t bound = base == 10 ? kDecimalBound : kHexadecimalBound;
  uint32_t accumulator = 0;
  for (; at < end; ++at) {
    int digit = DigitValue(byteAt(at), base);
    if (digit < 0 || accumulator > bound) return false;
    accumulator = accumulator * base + static_cast<uint32_t>(digit);
  }

  if (base == 10) {
    if (accumulator > (negative ? 2147483648u : 2147483647u)) return false;
  }
  // Two's complement throughout: negation is 0 - A modulo 2^32.
  uint32_t bits = negative ? 0u - accumulator : accumulator;
  value = static_cast<int32_t>(bits);
  return true;
}

bool IntegerFromSettingText(TextView text, int32_t& value, bool& isInteger) {
  Text rewritten;
  if (text.length > 2 && text.At(1) == '0' && (text.At(2) == 'x' || text.At(2) == 'X')) {
    if (!rewritten.Assign({"$", text.After(2)})) return false;
    text = rewritten.View();
  }
  isInteger = IntegerFromText(text, value);
  return true;
}
