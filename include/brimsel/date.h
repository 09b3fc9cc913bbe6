// SPDX-License-Identifier: MIT
/// \file
/// Date, a calendar date without time of day, and Zone, the clock selector.
#ifndef BRIMSEL_DATE_H
#define BRIMSEL_DATE_H

#include <brimsel/export.h>

#include <string>

namespace Brimsel {

/// Which clock the now() readings of Date, Time and Timestamp use.
enum Zone {
  UTC = 0,   ///< Universal time.
  LOCAL = 1  ///< The local time of the machine's zone.
};

/// A calendar date (year, month, day) with no time of day and no zone.
///
/// A Date that exists is always valid: the value constructor and the copy
/// constructor check the fields (Gregorian rules, any 32-bit year, negative
/// and zero years included) and throw Exception(nINVALID_DATE = 1, not fatal,
/// "Invalid date") when they do not make a date. The two sentinels are valid
/// although they are no calendar dates: Never (0000-00-00) and Forever
/// (0000-01-01, also the default value). They sort by their fields like any
/// other date, so a negative year < Never < Forever < every year from 1 on;
/// test an open end with isForever(), not by order.
///
/// Text form: `"%04i-%02i-%02i"` (the sign counts toward the four year digits:
/// year -5 prints "-005"). fromText() takes exactly ten characters and reads
/// them as a C string, up to the first zero byte: digits and '-', with '-' at
/// positions 4 and 7, each field read the way atoi does (so "2024-02-2" and a
/// zero byte is 2024-02-02); every fault throws the same Exception as the
/// constructor.
///
/// The sentinels are constant-initialised: no constructor runs for them when
/// the library loads, so another library's static initialisers and any thread
/// can read them at any time.
class BRIMSEL_API Date {
 public:
  static const Date Forever;  ///< 0000-01-01, the open end of a range.
  static const Date Never;    ///< 0000-00-00, the date that never comes.
  /// The error code of an invalid date, with the legend "Invalid date".
  static const int nINVALID_DATE = 1;

  /// 0000-01-01, equal to Forever.
  constexpr Date() : _nYear(0), _nMonth(1), _nDay(1) {}
  /// The date `year`-`month`-`day`.
  /// \throws Exception nINVALID_DATE (1, not fatal, "Invalid date") when the
  ///         three values make no valid date.
  constexpr Date(int year, int month, int day) : _nYear(year), _nMonth(month), _nDay(day) {
    if (!isValid()) raiseInvalid();
  }
  /// Checks the copied fields like the value constructor.
  /// \throws Exception nINVALID_DATE (1, not fatal, "Invalid date") when they
  ///         make no valid date.
  constexpr Date(const Date& other)
      : _nYear(other._nYear), _nMonth(other._nMonth), _nDay(other._nDay) {
    if (!isValid()) raiseInvalid();
  }
  /// Destroys the date; virtual so that a Timestamp is destroyed whole.
  virtual ~Date();

  /// Copies the fields unless `other` is this object; no check, no exception.
  const Date& operator=(const Date& other) {
    if (this != &other) {
      _nYear = other._nYear;
      _nMonth = other._nMonth;
      _nDay = other._nDay;
    }
    return *this;
  }

  /// True when year, month and day are all equal.
  constexpr bool operator==(const Date& o) const {
    return _nYear == o._nYear && _nMonth == o._nMonth && _nDay == o._nDay;
  }
  /// True when any of year, month and day differ.
  constexpr bool operator!=(const Date& o) const { return !(*this == o); }
  /// Year, then month, then day, each signed; the sentinels get no special place.
  constexpr bool operator<(const Date& o) const {
    if (_nYear != o._nYear) return _nYear < o._nYear;
    if (_nMonth != o._nMonth) return _nMonth < o._nMonth;
    return _nDay < o._nDay;
  }
  /// `o` < this, in the order of operator<().
  constexpr bool operator>(const Date& o) const { return o < *this; }
  /// Not `o` < this, in the order of operator<().
  constexpr bool operator<=(const Date& o) const { return !(o < *this); }
  /// Not this < `o`, in the order of operator<().
  constexpr bool operator>=(const Date& o) const { return !(*this < o); }

  /// The text form `"%04i-%02i-%02i"`: "1999-12-31", "-005-03-01",
  /// "12345-01-01", "0000-00-00".
  std::string asText() const;
  /// Parses the ten-character form; lenient inside the fields ("2020-1--05" is
  /// 2020-01-05).
  /// \throws Exception nINVALID_DATE (1, not fatal, "Invalid date") on any
  ///         fault: wrong length, a character other than a digit or '-', no
  ///         '-' at position 4 or 7, or fields that make no valid date.
  static Date fromText(const std::string& text);

  /// True for Forever, for Never and for every real Gregorian date.
  constexpr bool isValid() const { return isValidDate(_nYear, _nMonth, _nDay); }
  /// True when this date equals Forever (0000-01-01).
  bool isForever() const;

  /// The year; any int, 0 and negative ones included.
  constexpr int year() const { return _nYear; }
  /// The month, 1 to 12 (0 for Never, 1 for Forever).
  constexpr int month() const { return _nMonth; }
  /// The day of the month, 1 to 31 (0 for Never, 1 for Forever).
  constexpr int day() const { return _nDay; }

  /// Today on the clock `zone` names (any value other than LOCAL reads the
  /// universal clock).
  /// \throws Exception nINVALID_DATE (1, not fatal, "Invalid date") if the
  ///         clock gives no valid date.
  static const Date now(Zone zone);

 protected:
  /// Leap years by the remainder of signed division, so -4 and -400 are leap
  /// years and -100 is not.
  static constexpr bool isLeapYear(int year) {
    return year % 4 == 0 && (year % 400 == 0 || year % 100 != 0);
  }
  /// The number of days of `month` in `year`; `month` must be 1 to 12.
  static constexpr int daysInMonth(int year, int month) {
    return month == 2                                                ? (isLeapYear(year) ? 29 : 28)
           : (month == 4 || month == 6 || month == 9 || month == 11) ? 30
                                                                     : 31;
  }
  /// The rule isValid() applies, for fields not yet in an object.
  static constexpr bool isValidDate(int year, int month, int day) {
    if (year == 0 && month == 1 && day == 1) return true;
    if (year == 0 && month == 0 && day == 0) return true;
    if (month < 1 || month > 12 || day < 1) return false;
    return day <= daysInMonth(year, month);
  }

 private:
  [[noreturn]] static void raiseInvalid();

  int _nYear;
  int _nMonth;
  int _nDay;
};

}  // namespace Brimsel

#endif  // BRIMSEL_DATE_H
