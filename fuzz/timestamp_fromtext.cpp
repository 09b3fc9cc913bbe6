// SPDX-License-Identifier: MIT
// Timestamp::fromText on any bytes: no crash; the failure names the part at
// fault as the reference split says; what it accepts prints and reads back
// as the same timestamp without the fraction of a second.
#include <brimsel/exception.h>
#include <brimsel/timestamp.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "reference/calendar.h"

using namespace reference;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  DateFields df{};
  TimeFields tf{};
  const int expected = readTimestamp(text, df, tf);
  try {
    const Brimsel::Timestamp t = Brimsel::Timestamp::fromText(text);
    require(t.isValid(), "accepted an invalid timestamp", text);
    require(expected == 0, "accepted what the reference rejects", text);
    const std::string printed = t.asText();
    require(printed.size() == 19, "printed other than nineteen characters", text);
    const Brimsel::Timestamp whole(t.year(), t.month(), t.day(), t.hour(), t.minute(),
                                   static_cast<double>(static_cast<int>(t.second())));
    require(Brimsel::Timestamp::fromText(printed) == whole, "printed text reads back different",
            text);
  } catch (const Brimsel::Exception& e) {
    static const char* const legends[] = {"", "Invalid date", "Invalid time", "Invalid timestamp"};
    const int code = e.errorCode();
    require(code >= 1 && code <= 3, "unexpected error code", text);
    checkFailure(e, code, legends[code]);
    require(expected == code, "failed with another code than the reference", text);
  }
  return 0;
}
