// SPDX-License-Identifier: MIT
// Time::fromText on any bytes: no crash; what it accepts is valid, agrees
// with the C-library reading (strtod included, to the last bit), and its text
// reads back as the same time without the fraction.
#include <brimsel/exception.h>
#include <brimsel/time.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "reference/calendar.h"

using namespace reference;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  TimeFields expected{};
  const bool referenceReads = readTime(text, expected);
  const bool referenceValid = referenceReads && validTime(expected);
  try {
    const Brimsel::Time t = Brimsel::Time::fromText(text);
    require(t.isValid(), "accepted an invalid time", text);
    require(referenceValid, "accepted what the reference rejects", text);
    require(
        t.hour() == expected.hour && t.minute() == expected.minute && t.second() == expected.second,
        "read other fields than the reference", text);
    const std::string printed = t.asText();
    require(printed.size() == 8, "printed other than eight characters", text);
    const Brimsel::Time whole(t.hour(), t.minute(),
                              static_cast<double>(static_cast<int>(t.second())));
    require(Brimsel::Time::fromText(printed) == whole, "printed text reads back different", text);
  } catch (const Brimsel::Exception& e) {
    checkFailure(e, 2, "Invalid time");
    require(!referenceValid, "rejected what the reference accepts", text);
  }
  return 0;
}
