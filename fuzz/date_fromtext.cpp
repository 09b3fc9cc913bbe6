// SPDX-License-Identifier: MIT
// Date::fromText on any bytes: no crash; what it accepts is valid, agrees
// with the C-library reading, prints as ten characters and reads back equal.
#include <brimsel/date.h>
#include <brimsel/exception.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "reference/calendar.h"

using namespace reference;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  DateFields expected{};
  const bool referenceReads = readDate(text, expected);
  const bool referenceValid = referenceReads && validDate(expected);
  try {
    const Brimsel::Date d = Brimsel::Date::fromText(text);
    require(d.isValid(), "accepted an invalid date", text);
    require(referenceValid, "accepted what the reference rejects", text);
    require(d.year() == expected.year && d.month() == expected.month && d.day() == expected.day,
            "read other fields than the reference", text);
    const std::string printed = d.asText();
    require(printed.size() == 10, "printed other than ten characters", text);
    require(Brimsel::Date::fromText(printed) == d, "printed text reads back different", text);
  } catch (const Brimsel::Exception& e) {
    checkFailure(e, 1, "Invalid date");
    require(!referenceValid, "rejected what the reference accepts", text);
  }
  return 0;
}
