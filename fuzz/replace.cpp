// SPDX-License-Identifier: MIT
// replace against the in-place loop it must agree with: find, replace,
// resume behind the inserted text. Input: two bytes giving the lengths of
// `from` and `to` (modulo 8, so that occurrences are common), those two
// strings, then the text.
#include <brimsel/util.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "reference/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const char* p = reinterpret_cast<const char*>(data + 2);
  std::size_t rest = size - 2;
  const std::size_t fromLength = std::min<std::size_t>(data[0] % 8, rest);
  const std::string from(p, fromLength);
  p += fromLength;
  rest -= fromLength;
  const std::size_t toLength = std::min<std::size_t>(data[1] % 8, rest);
  const std::string to(p, toLength);
  p += toLength;
  rest -= toLength;
  const std::string text(p, rest);

  std::string got = text;
  Brimsel::replace(got, from, to);
  if (got != reference::replace(text, from, to)) std::abort();
  return 0;
}
