// SPDX-License-Identifier: MIT
// typeFromText reads a number the way atoi does and accepts 0 to 7; anything
// else fails with 4300 and the whole text as the legend. strtol (the program
// runs in the "C" locale) is the oracle for the number read.
#include <brimsel/exception.h>
#include <brimsel/variant.h>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const long expected =
      std::strtol(text.c_str(), nullptr, 10);  // stops at an embedded NUL, as the reading does
  try {
    const int type = Brimsel::Variant::typeFromText(text);
    if (type != expected || type < 0 || type > 7) std::abort();
  } catch (const Brimsel::Exception& e) {
    if (e.errorCode() != 4300 || e.legend() != text || e.isFatal()) std::abort();
    if (expected >= 0 && expected <= 7) std::abort();
  }
  return 0;
}
