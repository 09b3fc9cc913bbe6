// SPDX-License-Identifier: MIT
#include <brimsel/exception.h>
#include <brimsel/variant.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>
#include <system_error>

#include "decimal.h"
#include "errors.h"

namespace Brimsel {

namespace {

using detail::isDigit;
using detail::isSpace;

const char* const kKindWords[] = {"None", "int",  "double",    "string",
                                  "Date", "Time", "Timestamp", "Binary"};

std::string kindWord(Variant::VariantType t) {
  const auto i = static_cast<unsigned int>(t);
  return i < 8 ? kKindWords[i] : std::to_string(i);
}

[[noreturn]] void raiseError(int line, detail::ErrorCode code, const std::string& legend) {
  throw Exception(detail::baseName(__FILE__), line, code, false, legend);
}

[[noreturn]] void mismatch(int line, Variant::VariantType from, Variant::VariantType to) {
  raiseError(line, detail::kTypeMismatch, kindWord(from) + " > " + kindWord(to));
}

inline bool isHexDigit(char c) {
  return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool startsWithNoCase(const char* p, const char* end, const char* word) {
  for (; *word; ++p, ++word) {
    if (p == end || (*p | 0x20) != *word) return false;
  }
  return true;
}

// atoi's reading (white space, sign, digits up to the first other character,
// trailing text ignored), except that a number beyond int saturates instead
// of being undefined.
int textToInt(const std::string& text) {
  return detail::readAtoi(text.data(), text.data() + text.size());
}

// For a number that from_chars finds out of range: true when it overflows
// (its magnitude is at least 1), false when it underflows to zero. For
// hexadecimal text (`hex`, without its "0x") digits and exponent count powers
// of two.
bool overflows(const char* p, const char* end, bool hex) {
  const long long digitWeight = hex ? 4 : 1;
  long long magnitude = 0;  // position of the leading significant digit
  bool seenSignificant = false;
  for (; p != end && (hex ? isHexDigit(*p) : isDigit(*p)); ++p) {
    if (*p != '0') seenSignificant = true;
    if (seenSignificant && magnitude < (1LL << 40)) magnitude += digitWeight;
  }
  if (p != end && *p == '.') {
    for (++p; p != end && (hex ? isHexDigit(*p) : isDigit(*p)); ++p) {
      if (seenSignificant) continue;
      if (*p != '0') {
        seenSignificant = true;
      } else if (magnitude > -(1LL << 40)) {
        magnitude -= digitWeight;
      }
    }
  }
  long long exponent = 0;
  if (p != end && (*p | 0x20) == (hex ? 'p' : 'e')) {
    ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    for (; p != end && isDigit(*p); ++p) {
      if (exponent < (1LL << 40)) exponent = exponent * 10 + (*p - '0');
    }
    if (negative) exponent = -exponent;
  }
  return magnitude + exponent > 0;
}

// strtod's reading (white space, sign, then the longest prefix that is a
// decimal or hexadecimal number, an infinity or a NaN; 0.0 when there is
// none), always with '.' as the decimal point whatever the locale.
double textToDouble(const std::string& text) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p != end && isSpace(*p)) ++p;
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  // from_chars takes a sign of its own; strtod takes only one.
  if (p == end || *p == '-') return 0.0;

  double value = 0.0;
  if (startsWithNoCase(p, end, "inf")) {  // "infinity" too: the rest is trailing text either way
    value = std::numeric_limits<double>::infinity();
  } else if (startsWithNoCase(p, end, "nan")) {
    value = std::numeric_limits<double>::quiet_NaN();
  } else {
    // "0x" counts as a prefix only when a hexadecimal mantissa follows;
    // otherwise "0x" reads as 0 followed by trailing text.
    bool hex = false;
    if (end - p >= 3 && p[0] == '0' && (p[1] | 0x20) == 'x') {
      hex = isHexDigit(p[2]) || (p[2] == '.' && end - p >= 4 && isHexDigit(p[3]));
    }
    const char* const first = hex ? p + 2 : p;
    const auto result = std::from_chars(first, end, value,
                                        hex ? std::chars_format::hex : std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
      value = overflows(first, end, hex) ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (result.ec != std::errc()) {
      return 0.0;  // no number at all: unsigned, as strtod gives it
    }
  }
  return negative ? -value : value;
}

// As a standard stream writes a double by default ("%g", six significant
// digits), but in the classic form whatever the locale; to_chars is defined
// to behave as printf in the "C" locale.
std::string doubleToText(double d) {
  if (std::isnan(d)) return "nan";
  if (std::isinf(d)) return d < 0 ? "-inf" : "inf";
  char buffer[32];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::general, 6);
  return std::string(buffer, result.ptr);
}

std::string intToText(int n) {
  char buffer[16];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, n);
  return std::string(buffer, result.ptr);
}

// A buffer of its own for `length` bytes from `data`; none for nNO_LENGTH.
// new[] of zero bytes still yields a distinct, non-null allocation.
std::unique_ptr<unsigned char[]> copyBytes(const unsigned char* data, unsigned int length) {
  if (length == Variant::nNO_LENGTH) return nullptr;
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[length]);
  if (length != 0) std::memcpy(buffer.get(), data, length);
  return buffer;
}

}  // namespace

Variant::Variant() = default;

Variant::Variant(int value) : _eType(vtInt), _nValue(value) {}

Variant::Variant(double value) : _eType(vtDouble), _dValue(value) {}

Variant::Variant(const std::string& value) : _eType(vtString), _strValue(value) {}

Variant::Variant(const Date& value, bool now)
    : _eType(vtDate), _date{value.year(), value.month(), value.day()}, _bNow(now) {}

Variant::Variant(const Time& value, bool now)
    : _eType(vtTime), _time{value.hour(), value.minute(), value.second()}, _bNow(now) {}

Variant::Variant(const Timestamp& value, bool now)
    : _eType(vtTimestamp),
      _timestamp{{value.year(), value.month(), value.day()},
                 {value.hour(), value.minute(), value.second()}},
      _bNow(now) {}

Variant::Variant(const unsigned char* data, unsigned int length)
    : _eType(vtBinary), _pBinary(copyBytes(data, length).release()), _nLength(length) {}

// The plain fields are copied as they are; only the text and the byte buffer
// need copies of their own, and only a vtString has a text that is not empty.
Variant::Variant(const Variant& other)
    : _eType(other._eType),
      _nValue(other._nValue),
      _dValue(other._dValue),
      _date(other._date),
      _time(other._time),
      _timestamp(other._timestamp),
      _pBinary(other._eType == vtBinary ? copyBytes(other._pBinary, other._nLength).release()
                                        : nullptr),
      _nLength(other._nLength),
      _bNow(other._bNow) {
  if (_eType == vtString) _strValue = other._strValue;
}

Variant::~Variant() {
  if (_pBinary != nullptr) delete[] _pBinary;
}

// The stored fields came from a checked value, so rebuilding it cannot fail.
Date Variant::makeDate(const DateFields& f) { return Date(f.year, f.month, f.day); }

Time Variant::makeTime(const TimeFields& f) { return Time(f.hour, f.minute, f.second); }

Timestamp Variant::makeTimestamp(const TimestampFields& f) {
  return Timestamp(f.date.year, f.date.month, f.date.day, f.time.hour, f.time.minute,
                   f.time.second);
}

Variant& Variant::operator=(const Variant& other) {
  if (this == &other) return *this;
  // Everything that can throw happens first, into temporaries; the commit
  // below cannot fail, so a failure leaves the target as it was.
  std::unique_ptr<unsigned char[]> buffer;
  if (other._eType == vtBinary) buffer = copyBytes(other._pBinary, other._nLength);
  std::string text(other._strValue);

  delete[] _pBinary;
  _pBinary = buffer.release();
  _eType = other._eType;
  _nValue = other._nValue;
  _dValue = other._dValue;
  _strValue.swap(text);
  _date = other._date;
  _time = other._time;
  _timestamp = other._timestamp;
  _nLength = other._nLength;
  _bNow = other._bNow;
  return *this;
}

Variant::VariantType Variant::typeFromInt(int n) {
  if (n < 0 || n > 7) raiseError(__LINE__, detail::kInvalidType, intToText(n));
  return static_cast<VariantType>(n);
}

Variant::VariantType Variant::typeFromText(const std::string& text) {
  try {
    return typeFromInt(textToInt(text));
  } catch (const Exception& e) {
    if (e.errorCode() != detail::kInvalidType) throw;
    raiseError(__LINE__, detail::kInvalidType, text);
  }
}

int Variant::toInt() const {
  switch (_eType) {
    case vtInt:
      return _nValue;
    case vtDouble:
      // The open interval (INT_MIN - 1, INT_MAX + 1) is what truncates into
      // an int; NaN fails both comparisons.
      if (!(_dValue > -2147483649.0 && _dValue < 2147483648.0)) mismatch(__LINE__, vtDouble, vtInt);
      return static_cast<int>(_dValue);
    case vtString:
      return textToInt(_strValue);
    default:
      mismatch(__LINE__, _eType, vtInt);
  }
}

double Variant::toDouble() const {
  switch (_eType) {
    case vtInt:
      return static_cast<double>(_nValue);
    case vtDouble:
      return _dValue;
    case vtString:
      return textToDouble(_strValue);
    default:
      mismatch(__LINE__, _eType, vtDouble);
  }
}

namespace {

// The calendar value `Value` (of kind `target`) that a vtString holds. A
// text its parser refuses (with any code) is a type mismatch whose legend is
// the text and the kind; any other kind is a mismatch of the two kinds.
template <class Value>
Value fromString(Variant::VariantType type, const std::string& text, Variant::VariantType target,
                 int line) {
  if (type != Variant::vtString) mismatch(line, type, target);
  try {
    return Value::fromText(text);
  } catch (const Exception&) {
    raiseError(line, detail::kTypeMismatch, text + " > " + kindWord(target));
  }
}

}  // namespace

std::string Variant::toString() const {
  switch (_eType) {
    case vtInt:
      return intToText(_nValue);
    case vtDouble:
      return doubleToText(_dValue);
    case vtString:
      return _strValue;
    case vtDate:
      return makeDate(_date).asText();
    case vtTime:
      return makeTime(_time).asText();
    case vtTimestamp:
      return makeTimestamp(_timestamp).asText();
    default:
      mismatch(__LINE__, _eType, vtString);
  }
}

// The three calendar conversions: the clock when the current-time flag is
// set, else the stored value, else what a string holds.
Date Variant::toDate() const {
  if (_bNow) return Date::now(LOCAL);
  if (_eType == vtDate || _eType == vtTimestamp)
    return makeDate(_eType == vtDate ? _date : _timestamp.date);
  return fromString<Date>(_eType, _strValue, vtDate, __LINE__);
}

Time Variant::toTime() const {
  if (_bNow) return Time::now(LOCAL);
  if (_eType == vtTime || _eType == vtTimestamp)
    return makeTime(_eType == vtTime ? _time : _timestamp.time);
  return fromString<Time>(_eType, _strValue, vtTime, __LINE__);
}

Timestamp Variant::toTimestamp() const {
  if (_bNow) return Timestamp::now(LOCAL);
  return _eType == vtTimestamp ? makeTimestamp(_timestamp)
                               : fromString<Timestamp>(_eType, _strValue, vtTimestamp, __LINE__);
}

const unsigned char* Variant::toBinary() const {
  if (_eType != vtBinary) mismatch(__LINE__, _eType, vtBinary);
  return _pBinary;
}

Variant Variant::coerce(const Variant& value, VariantType type) {
  // Compared as unsigned, so a negative value cast to the enumeration is out
  // of range as well.
  if (static_cast<unsigned int>(type) > 7u) return Variant();
  try {
    switch (type) {
      case vtInt:
        return Variant(value.toInt());
      case vtDouble:
        return Variant(value.toDouble());
      case vtString:
        return Variant(value.toString());
      case vtDate:
        return Variant(value.toDate(), false);
      case vtTime:
        return Variant(value.toTime(), false);
      case vtTimestamp:
        return Variant(value.toTimestamp(), false);
      case vtBinary:
        return Variant(value.toBinary(), value.length());
      default:
        // Nothing converts into "nothing".
        mismatch(__LINE__, value._eType, vtNone);
    }
  } catch (const Exception& e) {
    raiseError(__LINE__, detail::kCoercionFailed, e.legend());
  }
}

}  // namespace Brimsel
