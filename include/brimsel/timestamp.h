// SPDX-License-Identifier: MIT
/// \file
/// Timestamp, a date with a time of day.
#ifndef BRIMSEL_TIMESTAMP_H
#define BRIMSEL_TIMESTAMP_H

#include <brimsel/date.h>
#include <brimsel/export.h>
#include <brimsel/time.h>

#include <string>

namespace Brimsel {

/// A date with a time of day, no zone.
///
/// It derives from Date and then Time and adds no field; used through a Date&
/// or Time& it behaves as that part (asText() of a Date& gives the date only).
///
/// A Timestamp that exists is always valid. A fault in the date part throws
/// Exception(Date::nINVALID_DATE = 1, not fatal, "Invalid date"), a fault in
/// the time part Exception(Time::nINVALID_TIME = 2, not fatal, "Invalid
/// time"); fromText() without a separator and the final combined check throw
/// Exception(nINVALID_TIMESTAMP = 3, not fatal, "Invalid timestamp").
///
/// Sentinels, constant-initialised like those of Date: Never (0000-00-00
/// 00:00:00) and Forever (0000-01-01 00:00:00, also the default value). Order
/// is lexicographic on year, month, day, hour, minute, second, sentinels
/// included; isForever() compares the time part too.
///
/// Text form: the date text, one blank, the time text ("2024-03-01 08:15:30").
/// fromText() reads the text as a C string, up to the first zero byte; it
/// splits at the first blank, else the first 'T', else the first 'Z', and
/// parses the two sides with Date::fromText() and Time::fromText().
class BRIMSEL_API Timestamp : public Date, public Time {
 public:
  static const Timestamp Forever;  ///< 0000-01-01 00:00:00, the open end of a range.
  static const Timestamp Never;    ///< 0000-00-00 00:00:00, the moment that never comes.
  /// The error code of a text without separator and of the combined check,
  /// with the legend "Invalid timestamp".
  static const int nINVALID_TIMESTAMP = 3;

  /// Equal to Forever.
  constexpr Timestamp() : Date(), Time() {}
  /// Copies both parts; each copy checks its part.
  /// \throws Exception Date::nINVALID_DATE (1, not fatal, "Invalid date") or
  ///         Time::nINVALID_TIME (2, not fatal, "Invalid time") for a part that
  ///         is not valid.
  constexpr Timestamp(const Date& date, const Time& time) : Date(date), Time(time) {}
  /// Builds the date part, then the time part, then makes the combined check.
  /// \throws Exception Date::nINVALID_DATE (1, not fatal, "Invalid date") when
  ///         `year`, `month` and `day` make no date; Time::nINVALID_TIME (2,
  ///         not fatal, "Invalid time") when `hour`, `minute` and `second` make
  ///         no time of day; nINVALID_TIMESTAMP (3, not fatal, "Invalid
  ///         timestamp") when the combined check fails.
  constexpr Timestamp(int year, int month, int day, int hour, int minute, double second)
      : Date(year, month, day), Time(hour, minute, second) {
    if (!isValid()) raiseInvalid();
  }
  /// Copies both parts, each checked, then makes the combined check.
  /// \throws Exception with the codes and legends of the value constructor.
  constexpr Timestamp(const Timestamp& other) : Date(other), Time(other) {
    if (!isValid()) raiseInvalid();
  }
  /// Destroys the timestamp.
  ~Timestamp() override;

  /// Assigns the date part, then the time part, unless `other` is this object;
  /// no check, no exception.
  const Timestamp& operator=(const Timestamp& other) {
    if (this != &other) {
      Date::operator=(other);
      Time::operator=(other);
    }
    return *this;
  }

  /// True when both the date parts and the time parts are equal.
  constexpr bool operator==(const Timestamp& o) const {
    return asDate() == o.asDate() && asTime() == o.asTime();
  }
  /// True when the date parts or the time parts differ.
  constexpr bool operator!=(const Timestamp& o) const { return !(*this == o); }
  /// The date parts in the order of Date, then the time parts in that of Time.
  constexpr bool operator<(const Timestamp& o) const {
    return asDate() < o.asDate() || (asDate() == o.asDate() && asTime() < o.asTime());
  }
  /// `o` < this, in the order of operator<().
  constexpr bool operator>(const Timestamp& o) const {
    return asDate() > o.asDate() || (asDate() == o.asDate() && asTime() > o.asTime());
  }
  /// Equal, or this < `o`.
  constexpr bool operator<=(const Timestamp& o) const { return *this == o || *this < o; }
  /// Equal, or `o` < this.
  constexpr bool operator>=(const Timestamp& o) const { return *this == o || *this > o; }

  /// The text form `"%04i-%02i-%02i %02i:%02i:%02i"`, the fraction of the
  /// second dropped.
  std::string asText() const;
  /// Accepts the text form, the same with 'T' or 'Z' for the blank, and a
  /// fraction of a second ("2024-03-01T08:15:30.25").
  /// \throws Exception nINVALID_TIMESTAMP (3, not fatal, "Invalid timestamp")
  ///         when the text has no blank, 'T' or 'Z'; Date::nINVALID_DATE (1,
  ///         not fatal, "Invalid date") when the part before the separator is
  ///         no date (checked first); Time::nINVALID_TIME (2, not fatal,
  ///         "Invalid time") when the part after it is no time of day.
  static Timestamp fromText(const std::string& text);

  /// True when both parts are valid.
  constexpr bool isValid() const { return Date::isValid() && Time::isValid(); }
  /// True when this timestamp equals Forever, time part included.
  bool isForever() const;

  /// The date and time now, from one reading of the clock `zone` names (any
  /// value other than LOCAL reads the universal clock), to the whole second.
  /// \throws Exception Date::nINVALID_DATE or Time::nINVALID_TIME (not fatal)
  ///         if the clock gives no valid date or time.
  static const Timestamp now(Zone zone);

 private:
  [[noreturn]] static void raiseInvalid();
  constexpr const Date& asDate() const { return *this; }
  constexpr const Time& asTime() const { return *this; }
};

}  // namespace Brimsel

#endif  // BRIMSEL_TIMESTAMP_H
