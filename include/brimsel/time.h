// SPDX-License-Identifier: MIT
/// \file
/// Time, a time of day without date.
#ifndef BRIMSEL_TIME_H
#define BRIMSEL_TIME_H

#include <brimsel/date.h>
#include <brimsel/export.h>

#include <string>

namespace Brimsel {

/// A time of day (hour, minute, second) with no date and no zone.
///
/// The second is a double and may carry a fraction; the text form shows whole
/// seconds only and now() reads the clock to the whole second.
///
/// A Time that exists is always valid: the value constructor and the copy
/// constructor throw Exception(nINVALID_TIME = 2, not fatal, "Invalid time")
/// unless hour is 0 to 23, minute 0 to 59 and second 0.0 to 59.0 (59.0 is
/// valid, 59.5 is not: there is no leap second). A second that is not a
/// number is invalid too. Time has no sentinels.
///
/// Text form: `"%02i:%02i:%02i"` with the second truncated toward zero, so it
/// is always eight characters. fromText() takes 8 to 15 characters and reads
/// them as a C string, up to the first zero byte: digits, ':' and '.', with
/// ':' at positions 2 and 5; hour and minute are read the way atoi does and
/// the second the way strtod does ('.' as the decimal point, whatever the
/// locale). Every fault throws the same Exception as the constructor.
class BRIMSEL_API Time {
 public:
  /// The error code of an invalid time, with the legend "Invalid time".
  static const int nINVALID_TIME = 2;

  /// 00:00:00.
  constexpr Time() : _nHour(0), _nMinute(0), _dSecond(0.0) {}
  /// The time `hour`:`minute`:`second`.
  /// \throws Exception nINVALID_TIME (2, not fatal, "Invalid time") when the
  ///         values make no valid time of day.
  constexpr Time(int hour, int minute, double second)
      : _nHour(hour), _nMinute(minute), _dSecond(second) {
    if (!isValid()) raiseInvalid();
  }
  /// Checks the copied fields like the value constructor.
  /// \throws Exception nINVALID_TIME (2, not fatal, "Invalid time") when they
  ///         make no valid time of day.
  constexpr Time(const Time& other)
      : _nHour(other._nHour), _nMinute(other._nMinute), _dSecond(other._dSecond) {
    if (!isValid()) raiseInvalid();
  }
  /// Destroys the time; virtual so that a Timestamp is destroyed whole.
  virtual ~Time();

  /// Copies the fields unless `other` is this object; no check, no exception.
  const Time& operator=(const Time& other) {
    if (this != &other) {
      _nHour = other._nHour;
      _nMinute = other._nMinute;
      _dSecond = other._dSecond;
    }
    return *this;
  }

  /// True when hour, minute and second are equal; the seconds must be equal
  /// exactly: 12:00:00.25 != 12:00:00.5 although both print "12:00:00".
  constexpr bool operator==(const Time& o) const {
    return _nHour == o._nHour && _nMinute == o._nMinute && _dSecond == o._dSecond;
  }
  /// True when hour, minute or second differ.
  constexpr bool operator!=(const Time& o) const { return !(*this == o); }
  /// Hour, then minute, then second (with its fraction).
  constexpr bool operator<(const Time& o) const {
    if (_nHour != o._nHour) return _nHour < o._nHour;
    if (_nMinute != o._nMinute) return _nMinute < o._nMinute;
    return _dSecond < o._dSecond;
  }
  /// `o` < this, in the order of operator<().
  constexpr bool operator>(const Time& o) const { return o < *this; }
  /// Equal, or this < `o`.
  constexpr bool operator<=(const Time& o) const { return *this == o || *this < o; }
  /// Equal, or `o` < this.
  constexpr bool operator>=(const Time& o) const { return *this == o || o < *this; }

  /// The text form `"%02i:%02i:%02i"`, the fraction of the second dropped:
  /// 07:05:03.99 prints "07:05:03".
  std::string asText() const;
  /// Parses the text form with an optional fraction ("08:15:30.125"); lenient
  /// inside the second ("08:15:3." is 3.0, "08:15:1.2.3" is 1.2).
  /// \throws Exception nINVALID_TIME (2, not fatal, "Invalid time") on any
  ///         fault: a length outside 8 to 15, a character other than a digit,
  ///         ':' or '.', no ':' at position 2 or 5, or fields that make no
  ///         valid time of day.
  static Time fromText(const std::string& text);

  /// True when hour, minute and second make a valid time of day.
  constexpr bool isValid() const { return isValidTime(_nHour, _nMinute, _dSecond); }

  /// The hour, 0 to 23.
  constexpr int hour() const { return _nHour; }
  /// The minute, 0 to 59.
  constexpr int minute() const { return _nMinute; }
  /// The second, 0.0 to 59.0, with its fraction.
  constexpr double second() const { return _dSecond; }

  /// The time of day now on the clock `zone` names (any value other than
  /// LOCAL reads the universal clock), to the whole second.
  /// \throws Exception nINVALID_TIME (2, not fatal, "Invalid time") if the
  ///         clock gives no valid time.
  static const Time now(Zone zone);

 protected:
  /// The rule isValid() applies, for fields not yet in an object; written so
  /// that a NaN second fails.
  static constexpr bool isValidTime(int hour, int minute, double second) {
    return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0.0 &&
           second <= 59.0;
  }

 private:
  [[noreturn]] static void raiseInvalid();

  int _nHour;
  int _nMinute;
  double _dSecond;
};

}  // namespace Brimsel

#endif  // BRIMSEL_TIME_H
