// Decimal number reading with the rules of C's formatted input: white space skipped, an optional
// sign, digits; out-of-range values saturate like strtol and are then cut to the target width.
#pragma once

#include <cctype>
#include <cstdint>
#include <limits>

namespace kesta {

// Reads one number at cursor. On success advances cursor past it and returns true. On failure
// cursor stops at the offending character (white space skipped).
inline bool scanDecimal(const char*& cursor, long long& value) {
  const char* p = cursor;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
  bool negative = false;
  const char* start = p;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (!std::isdigit(static_cast<unsigned char>(*p))) {
    cursor = start;
    return false;
  }
  // Saturate like strtol on a 64-bit long.
  unsigned long long magnitude = 0;
  const unsigned long long limit = negative ? 9223372036854775808ull : 9223372036854775807ull;
  bool overflow = false;
  for (; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
    const unsigned digit = unsigned(*p - '0');
    if (!overflow && magnitude <= (limit - digit) / 10)
      magnitude = magnitude * 10 + digit;
    else
      overflow = true;
  }
  if (overflow) magnitude = limit;
  if (negative)
    value = magnitude == 9223372036854775808ull ? std::numeric_limits<long long>::min()
                                                : -static_cast<long long>(magnitude);
  else
    value = static_cast<long long>(magnitude);
  cursor = p;
  return true;
}

// Keeps the low 32 or 16 bits, two's complement, as a formatted read into a narrower type does.
inline int32_t truncateToInt32(long long v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }
inline int16_t truncateToInt16(long long v) { return static_cast<int16_t>(static_cast<uint16_t>(v)); }

// Clamps to the int32 range, for protocol values where a huge number must simply be out of range.
inline int32_t clampToInt32(long long v) {
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

}  // namespace kesta
