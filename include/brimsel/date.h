// Date: a calendar date (year, month, day) with no time of day and no zone,
// and the enumeration Zone that selects the clock the now() readings use.
//
// A Date that exists is always valid: the value constructor and the copy
// constructor check the fields (Gregorian rules, any 32-bit year, negative
// and zero years included) and throw Exception(nINVALID_DATE = 1, not fatal,
// "Invalid date") when they do not make a date. The two sentinels are valid
// although they are no calendar dates: Never (0000-00-00) and Forever
// (0000-01-01, also the default value). They sort by their fields like any
// other date, so a negative year < Never < Forever < every year from 1 on;
// test an open end with isForever(), not by order.
//
// Text form: "%04i-%02i-%02i" (the sign counts toward the four year digits:
// year -5 prints "-005"). fromText() reads exactly ten characters of digits
// and '-', with '-' at positions 4 and 7, and reads each field the way atoi
// does; every fault throws the same Exception as the constructor.
//
// The sentinels are constant-initialised: no constructor runs for them when
// the library loads, so another library's static initialisers and any thread
// can read them at any time.
#ifndef BRIMSEL_DATE_H
#define BRIMSEL_DATE_H

#include <brimsel/export.h>

#include <string>

namespace Brimsel {

// Which clock the now() readings of Date, Time and Timestamp use.
enum Zone { UTC = 0, LOCAL = 1 };

class BRIMSEL_API Date {
 public:
  static const Date Forever;  // 0000-01-01
  static const Date Never;    // 0000-00-00
  static const int nINVALID_DATE = 1;

  // 0000-01-01, equal to Forever.
  constexpr Date() : _nYear(0), _nMonth(1), _nDay(1) {}
  // Throws nINVALID_DATE when the three values make no valid date.
  constexpr Date(int year, int month, int day) : _nYear(year), _nMonth(month), _nDay(day) {
    if (!isValid()) raiseInvalid();
  }
  // Checks the copied fields like the value constructor.
  constexpr Date(const Date& other) : _nYear(other._nYear), _nMonth(other._nMonth), _nDay(other._nDay) {
    if (!isValid()) raiseInvalid();
  }
  virtual ~Date();

  // Copies the fields unless `other` is this object; no check.
  const Date& operator=(const Date& other) {
    if (this != &other) {
      _nYear = other._nYear;
      _nMonth = other._nMonth;
      _nDay = other._nDay;
    }
    return *this;
  }

  constexpr bool operator==(const Date& o) const {
    return _nYear == o._nYear && _nMonth == o._nMonth && _nDay == o._nDay;
  }
  constexpr bool operator!=(const Date& o) const { return !(*this == o); }
  // Year, then month, then day, each signed; the sentinels get no special place.
  constexpr bool operator<(const Date& o) const {
    if (_nYear != o._nYear) return _nYear < o._nYear;
    if (_nMonth != o._nMonth) return _nMonth < o._nMonth;
    return _nDay < o._nDay;
  }
  constexpr bool operator>(const Date& o) const { return o < *this; }
  constexpr bool operator<=(const Date& o) const { return !(o < *this); }
  constexpr bool operator>=(const Date& o) const { return !(*this < o); }

  // "%04i-%02i-%02i": "1999-12-31", "-005-03-01", "12345-01-01", "0000-00-00".
  std::string asText() const;
  // Parses the ten-character form; lenient inside the fields ("2020-1--05" is
  // 2020-01-05). Throws nINVALID_DATE on any fault.
  static Date fromText(const std::string& text);

  // True for Forever, for Never and for every real Gregorian date.
  constexpr bool isValid() const { return isValidDate(_nYear, _nMonth, _nDay); }
  bool isForever() const;

  constexpr int year() const { return _nYear; }
  constexpr int month() const { return _nMonth; }
  constexpr int day() const { return _nDay; }

  // Today on the clock `zone` names (any value other than LOCAL reads the
  // universal clock). Throws nINVALID_DATE if the clock gives no valid date.
  static const Date now(Zone zone);

 protected:
  // Leap years by the remainder of signed division, so -4 and -400 are leap
  // years and -100 is not. `month` must be 1 to 12.
  static constexpr bool isLeapYear(int year) { return year % 4 == 0 && (year % 400 == 0 || year % 100 != 0); }
  static constexpr int daysInMonth(int year, int month) {
    return month == 2 ? (isLeapYear(year) ? 29 : 28)
                      : (month == 4 || month == 6 || month == 9 || month == 11) ? 30 : 31;
  }
  // The rule isValid() applies, for fields not yet in an object.
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
