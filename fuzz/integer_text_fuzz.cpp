// IntegerFromText against a model of its rules written independently, in
// 64-bit arithmetic: magnitudes are computed whole (saturating), then the
// range of the base decides.
#include <stddef.h>
#include <stdint.h>

#include <cstdlib>
#include <string>

#include "settings/integer_text.h"

namespace {

bool ModelIntegerFromText(std::string text, int32_t& value) {
  text = text.substr(0, text.find('\0'));
  size_t at = text.find_first_not_of(' ');
  if (at == std::string::npos) return false;
  bool negative = text[at] == '-';
  if (text[at] == '-' || text[at] == '+') ++at;
  int base = 10;
  if (at < text.size() && (text[at] == '$' || text[at] == 'x' || text[at] == 'X')) {
    base = 16;
    at += 1;
  } else if (text.compare(at, 2, "0x") == 0 || text.compare(at, 2, "0X") == 0) {
    base = 16;
    at += 2;
  }
  std::string digits = text.substr(at);
  if (digits.empty()) return false;
  const std::string valid = base == 10 ? "0123456789" : "0123456789abcdefABCDEF";
  if (digits.find_first_not_of(valid) != std::string::npos) return false;
  uint64_t magnitude = 0;
  for (char digit : digits) {
    uint64_t digitValue = std::stoul(std::string(1, digit), nullptr, 16);
    magnitude = magnitude * base + digitValue;
    if (magnitude > (1ull << 40)) magnitude = 1ull << 40;  // far beyond any range
  }
  if (base == 10) {
    if (magnitude > (negative ? 2147483648ull : 2147483647ull)) return false;
    value = static_cast<int32_t>(negative ? -static_cast<int64_t>(magnitude)
                                          : static_cast<int64_t>(magnitude));
    return true;
  }
  if (magnitude > 0xFFFFFFFFull) return false;
  uint64_t bits = negative ? (0x100000000ull - magnitude) & 0xFFFFFFFFull : magnitude;
  value = static_cast<int32_t>(static_cast<uint32_t>(bits));
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  int32_t value = 0, expected = 0;
  bool accepted = IntegerFromText(TextView(text.data(), text.size()), value);
  bool modelAccepted = ModelIntegerFromText(text, expected);
  if (accepted != modelAccepted || (accepted && value != expected)) std::abort();
  return 0;
}
