// Timestamp: a date with a time of day, no zone. It derives from Date and
// then Time and adds no field; used through a Date& or Time& it behaves as
// that part (asText() of a Date& gives the date only).
//
// A Timestamp that exists is always valid. A fault in the date part throws
// Exception(Date::nINVALID_DATE = 1, not fatal, "Invalid date"), a fault in
// the time part Exception(Time::nINVALID_TIME = 2, not fatal, "Invalid
// time"); fromText() without a separator and the final combined check throw
// Exception(nINVALID_TIMESTAMP = 3, not fatal, "Invalid timestamp").
//
// Sentinels, constant-initialised like those of Date: Never (0000-00-00
// 00:00:00) and Forever (0000-01-01 00:00:00, also the default value). Order
// is lexicographic on year, month, day, hour, minute, second, sentinels
// included; isForever() compares the time part too.
//
// Text form: the date text, one blank, the time text ("2024-03-01 08:15:30").
// fromText() splits at the first blank, else the first 'T', else the first
// 'Z', and parses the two sides with Date::fromText() and Time::fromText().
#ifndef BRIMSEL_TIMESTAMP_H
#define BRIMSEL_TIMESTAMP_H

#include <brimsel/date.h>
#include <brimsel/export.h>
#include <brimsel/time.h>

#include <string>

namespace Brimsel {

class BRIMSEL_API Timestamp : public Date, public Time {
 public:
  static const Timestamp Forever;  // 0000-01-01 00:00:00
  static const Timestamp Never;    // 0000-00-00 00:00:00
  static const int nINVALID_TIMESTAMP = 3;

  // Equal to Forever.
  constexpr Timestamp() : Date(), Time() {}
  // Copies both parts; each copy checks its part.
  constexpr Timestamp(const Date& date, const Time& time) : Date(date), Time(time) {}
  // Builds the date part, then the time part, then makes the combined check.
  constexpr Timestamp(int year, int month, int day, int hour, int minute, double second)
      : Date(year, month, day), Time(hour, minute, second) {
    if (!isValid()) raiseInvalid();
  }
  constexpr Timestamp(const Timestamp& other) : Date(other), Time(other) {
    if (!isValid()) raiseInvalid();
  }
  ~Timestamp() override;

  // Assigns the date part, then the time part, unless `other` is this object.
  const Timestamp& operator=(const Timestamp& other) {
    if (this != &other) {
      Date::operator=(other);
      Time::operator=(other);
    }
    return *this;
  }

  constexpr bool operator==(const Timestamp& o) const { return asDate() == o.asDate() && asTime() == o.asTime(); }
  constexpr bool operator!=(const Timestamp& o) const { return !(*this == o); }
  constexpr bool operator<(const Timestamp& o) const {
    return asDate() < o.asDate() || (asDate() == o.asDate() && asTime() < o.asTime());
  }
  constexpr bool operator>(const Timestamp& o) const {
    return asDate() > o.asDate() || (asDate() == o.asDate() && asTime() > o.asTime());
  }
  constexpr bool operator<=(const Timestamp& o) const { return *this == o || *this < o; }
  constexpr bool operator>=(const Timestamp& o) const { return *this == o || *this > o; }

  // "%04i-%02i-%02i %02i:%02i:%02i", the fraction of the second dropped.
  std::string asText() const;
  // Accepts the text form, the same with 'T' or 'Z' for the blank, and a
  // fraction of a second ("2024-03-01T08:15:30.25").
  static Timestamp fromText(const std::string& text);

  constexpr bool isValid() const { return Date::isValid() && Time::isValid(); }
  bool isForever() const;

  // The date and time now, from one reading of the clock `zone` names (any
  // value other than LOCAL reads the universal clock), to the whole second.
  static const Timestamp now(Zone zone);

 private:
  [[noreturn]] static void raiseInvalid();
  constexpr const Date& asDate() const { return *this; }
  constexpr const Time& asTime() const { return *this; }
};

}  // namespace Brimsel

#endif  // BRIMSEL_TIMESTAMP_H
