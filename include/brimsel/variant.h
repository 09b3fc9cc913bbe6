// SPDX-License-Identifier: MIT
/// \file
/// Variant, the library's typed value.
#ifndef BRIMSEL_VARIANT_H
#define BRIMSEL_VARIANT_H

#include <brimsel/date.h>
#include <brimsel/export.h>
#include <brimsel/time.h>
#include <brimsel/timestamp.h>

#include <string>

namespace Brimsel {

/// The library's typed value.
///
/// It holds nothing, an int, a double, a string, a Date, a Time, a Timestamp
/// or a block of bytes that it owns, knows which of them it holds, and
/// converts between them by a fixed matrix.
///
/// Data layout: there is no union. Every Variant carries one field per kind;
/// only the field that matches type() carries meaning, the others keep their
/// defaults (0, 0.0, "", default Date/Time/Timestamp, no buffer). A vtBinary
/// owns a buffer of exactly length() bytes: length 0 is a real zero-byte
/// buffer of its own, and nNO_LENGTH (0xFFFFFFFF) means "no buffer", which is
/// also what length() gives for every other kind. No two Variants share a
/// buffer: construction, copying and assignment each allocate and copy.
///
/// The current-time flag: the three calendar constructors take a bool; when it
/// is true, toDate(), toTime() and toTimestamp() read the local clock anew at
/// every call instead of returning the stored value (toString() still shows
/// the stored value). Copies and assignment carry the flag along.
///
/// Conversions (each leaves the Variant unchanged):
///
/// ~~~{.unparsed}
///   kind        toInt          toDouble     toString             calendar / toBinary
///   None        refused        refused      refused              refused
///   int         the value      exact        decimal              refused
///   double      truncated(*)   the value    as "%g" (6 digits)   refused
///   string      atoi (**)      strtod       a copy               parsed by fromText()
///   Date        refused        refused      asText()             toDate()
///   Time        refused        refused      asText()             toTime()
///   Timestamp   refused        refused      asText()             toDate/Time/Timestamp()
///   Binary      refused        refused      refused              toBinary()
/// ~~~
///
/// A refusal throws Exception 4301 ("Type Mismatch."), not fatal, with the
/// legend `"<from> > <to>"` in the kind words None, int, double, string, Date,
/// Time, Timestamp, Binary ("Date > int"); a text that the calendar parser
/// rejects gives `"<text> > Date"` (or `" > Time"`, `" > Timestamp"`).
///  - (*) a double that is NaN or outside the range of int is refused with
///    "double > int".
///  - (**) a number that overflows int saturates to INT_MIN / INT_MAX.
///
/// Number/text conversions always use the classic form ('.' as the decimal
/// point, no grouping), whatever C or C++ locale the program has set. An
/// infinite double prints "inf" / "-inf", a NaN "nan"; toDouble() reads them
/// back.
///
/// coerce() builds a Variant of a requested kind through these conversions and
/// turns every refusal into Exception 4302 ("Coersion failed.") that keeps the
/// legend; a requested kind of 8 or more gives a vtNone without failure.
///
/// Allocation failures propagate as std::bad_alloc. Assignment gives the
/// strong guarantee: if it throws, the target is unchanged. const operations
/// may run on one Variant from several threads at once.
class BRIMSEL_API Variant {
 public:
  /// The kind of value a Variant holds. The fixed underlying type makes every
  /// int a valid VariantType value, so that a caller may pass any number to
  /// coerce() (8 and more give vtNone).
  enum VariantType : int {
    vtNone = 0,       ///< Nothing.
    vtInt = 1,        ///< An int.
    vtDouble = 2,     ///< A double.
    vtString = 3,     ///< A std::string.
    vtDate = 4,       ///< A Date.
    vtTime = 5,       ///< A Time.
    vtTimestamp = 6,  ///< A Timestamp.
    vtBinary = 7      ///< A block of bytes that the Variant owns.
  };

  /// The length of every Variant that has no byte buffer.
  static const unsigned int nNO_LENGTH = 0xFFFFFFFFu;

  /// An empty value, vtNone.
  Variant();
  /// A vtInt holding `value`.
  Variant(int value);
  /// A vtDouble holding `value`.
  Variant(double value);
  /// A vtString holding a copy of `value`.
  Variant(const std::string& value);
  /// A vtDate holding `value`. With `now` set, the calendar conversions read
  /// the local clock instead.
  Variant(const Date& value, bool now = false);
  /// A vtTime holding `value`. With `now` set, the calendar conversions read
  /// the local clock instead.
  Variant(const Time& value, bool now = false);
  /// A vtTimestamp holding `value`. With `now` set, the calendar conversions
  /// read the local clock instead.
  Variant(const Timestamp& value, bool now = false);
  /// A vtBinary: copies `length` bytes from `data` into a buffer of its own; a
  /// length of nNO_LENGTH allocates nothing and does not read `data` (it may be
  /// null). Any other length needs `data` to point at that many bytes.
  Variant(const unsigned char* data, unsigned int length);
  /// A copy of every field of `other`, with its own copy of the bytes.
  Variant(const Variant& other);
  /// Destroys the value and frees its buffer.
  virtual ~Variant();

  /// Replaces every field with those of `other` (its own copy of the bytes).
  /// Strong guarantee; assignment to itself changes nothing.
  Variant& operator=(const Variant& other);

  /// The kind of value held.
  VariantType type() const { return _eType; }
  /// The byte count of a vtBinary; nNO_LENGTH for every other kind and for a
  /// vtBinary without a buffer.
  unsigned int length() const { return _nLength; }

  /// The kind whose value is `n`, 0 to 7.
  /// \throws Exception 4300 ("Invalid Type.", not fatal) with `n` in decimal
  ///         as the legend, for any other number.
  static VariantType typeFromInt(int n);
  /// Reads a number from `text` the way atoi does (" 2" and "3 apples" read
  /// 2 and 3, "int" reads 0) and passes it to typeFromInt().
  /// \throws Exception 4300 ("Invalid Type.", not fatal) with the whole `text`
  ///         as the legend, for a number outside 0 to 7.
  static VariantType typeFromText(const std::string& text);

  /// A new Variant of kind `type` from `value`, through the conversion of that
  /// kind (see the class comment); the new Variant has no current-time flag.
  /// A `type` below 0 or above 7 gives a vtNone without failure.
  /// \throws Exception 4302 ("Coersion failed.", not fatal) when the
  ///         conversion refuses, with the legend of the refusal
  ///         (`"<from> > <to>"`, or `"<from> > None"` for vtNone).
  static Variant coerce(const Variant& value, VariantType type);

  /// The value as an int: that of a vtInt, a vtDouble truncated toward zero,
  /// a vtString read the way atoi does (saturating at INT_MIN / INT_MAX).
  /// \throws Exception 4301 ("Type Mismatch.", not fatal) with the legend
  ///         "double > int" for a NaN or a double outside the range of int,
  ///         and `"<kind> > int"` for every other kind.
  int toInt() const;
  /// The value as a double: that of a vtInt or vtDouble, a vtString read the
  /// way strtod does in the classic locale ("inf" and "nan" included).
  /// \throws Exception 4301 ("Type Mismatch.", not fatal) with the legend
  ///         `"<kind> > double"` for every other kind.
  double toDouble() const;
  /// The value as text: an int in decimal, a double as `"%g"` in the classic
  /// locale, a copy of a string, asText() of a Date, Time or Timestamp (the
  /// stored value, whatever the current-time flag).
  /// \throws Exception 4301 ("Type Mismatch.", not fatal) with the legend
  ///         "None > string" or "Binary > string".
  std::string toString() const;
  /// The value as a Date: with the current-time flag, today on the local
  /// clock; else a vtString parsed by Date::fromText(), a vtDate, or the date
  /// part of a vtTimestamp.
  /// \throws Exception 4301 ("Type Mismatch.", not fatal) with the legend
  ///         `"<text> > Date"` for a text that is no date, and
  ///         `"<kind> > Date"` for every other kind.
  Date toDate() const;
  /// The value as a Time: with the current-time flag, the local time of day
  /// now; else a vtString parsed by Time::fromText(), a vtTime, or the time
  /// part of a vtTimestamp.
  /// \throws Exception 4301 ("Type Mismatch.", not fatal) with the legend
  ///         `"<text> > Time"` for a text that is no time of day, and
  ///         `"<kind> > Time"` for every other kind.
  Time toTime() const;
  /// The value as a Timestamp: with the current-time flag, the local date and
  /// time now; else a vtString parsed by Timestamp::fromText(), or a
  /// vtTimestamp.
  /// \throws Exception 4301 ("Type Mismatch.", not fatal) with the legend
  ///         `"<text> > Timestamp"` for a text that is no timestamp, and
  ///         `"<kind> > Timestamp"` for every other kind (a Date or Time too).
  Timestamp toTimestamp() const;
  /// The Variant's own buffer (not a copy), valid until the Variant is
  /// destroyed or assigned; null for a vtBinary whose length() is nNO_LENGTH.
  /// \throws Exception 4301 ("Type Mismatch.", not fatal) with the legend
  ///         `"<kind> > Binary"` for every kind other than vtBinary.
  const unsigned char* toBinary() const;

 private:
  // The calendar values are kept as their plain fields. A Date, Time or
  // Timestamp was checked when it was stored here, so copying a Variant needs
  // neither the calendar classes' checking copy constructors nor their
  // destructors; the conversions rebuild the value. The defaults are those
  // of a default-constructed Date, Time and Timestamp.
  struct DateFields {
    int year = 0;
    int month = 1;
    int day = 1;
  };
  struct TimeFields {
    int hour = 0;
    int minute = 0;
    double second = 0.0;
  };
  struct TimestampFields {
    DateFields date;
    TimeFields time;
  };

  static Date makeDate(const DateFields& f);
  static Time makeTime(const TimeFields& f);
  static Timestamp makeTimestamp(const TimestampFields& f);

  // Every field but the one of the kind held keeps these defaults.
  VariantType _eType = vtNone;
  int _nValue = 0;
  double _dValue = 0.0;
  std::string _strValue;
  DateFields _date;
  TimeFields _time;
  TimestampFields _timestamp;
  unsigned char* _pBinary = nullptr;
  unsigned int _nLength = nNO_LENGTH;
  bool _bNow = false;
};

}  // namespace Brimsel

#endif  // BRIMSEL_VARIANT_H
