// SPDX-License-Identifier: MIT
// The text conversions of a vtString: toInt against strtol clamped to int,
// toDouble against strtod (the program runs in the "C" locale), and the
// calendar conversions either succeed with a value whose text reads back the
// same or fail with 4301 and "<text> > <kind>"; coerce reports the same
// legends as 4302. Number-to-text-to-number round trips from the input bytes.
#include <brimsel/exception.h>
#include <brimsel/variant.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

using Brimsel::Variant;

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

template <typename F>
void refusedOrParsed(const std::string& text, const char* suffix, F parse) {
  try {
    parse();
  } catch (const Brimsel::Exception& e) {
    check(e.errorCode() == 4301 && e.legend() == text + suffix);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const Variant v(text);

  long n = std::strtol(text.c_str(), nullptr, 10);
  n = n < INT_MIN ? INT_MIN : n > INT_MAX ? INT_MAX : n;
  check(v.toInt() == n);

  const double expected = std::strtod(text.c_str(), nullptr);
  const double got = v.toDouble();
  check(std::isnan(expected) ? std::isnan(got)
                             : got == expected && std::signbit(got) == std::signbit(expected));

  refusedOrParsed(text, " > Date", [&] {
    const Brimsel::Date d = v.toDate();
    if (d.year() >= 0 && d.year() <= 9999)
      check(Variant(d).toDate() == Variant(Variant(d).toString()).toDate());
  });
  refusedOrParsed(text, " > Time", [&] {
    const Brimsel::Time t = v.toTime();
    const Brimsel::Time back = Variant(Variant(t).toString()).toTime();
    check(back.hour() == t.hour() && back.minute() == t.minute() &&
          back.second() == std::trunc(t.second()));
  });
  refusedOrParsed(text, " > Timestamp", [&] { v.toTimestamp(); });

  for (int type = 0; type <= 8; ++type) {
    try {
      const Variant c = Variant::coerce(v, static_cast<Variant::VariantType>(type));
      check(c.type() == (type == 8 ? Variant::vtNone : type));
    } catch (const Brimsel::Exception& e) {
      check(e.errorCode() == 4302 && (type == 0 || type >= 4));
    }
  }

  // Numbers to text and back.
  if (size >= sizeof(int)) {
    int i;
    std::memcpy(&i, data, sizeof i);
    check(Variant(Variant(i).toString()).toInt() == i);
  }
  if (size >= sizeof(double)) {
    double d;
    std::memcpy(&d, data, sizeof d);
    const std::string printed = Variant(d).toString();
    check(Variant(Variant(printed).toDouble()).toString() == printed);
    check(printed == Variant(std::strtod(printed.c_str(), nullptr)).toString());
  }
  return 0;
}
