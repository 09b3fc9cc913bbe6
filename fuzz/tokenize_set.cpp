// SPDX-License-Identifier: MIT
// tokenize by a delimiter set against a plain rendering of its rules with
// std::string's own searches. Input: one byte giving the number of
// delimiter characters (modulo 8), those characters, then the text.
#include <brimsel/util.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "reference/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t count = std::min<std::size_t>(data[0] % 8, size - 1);
  const std::string delimiters(reinterpret_cast<const char*>(data + 1), count);
  const std::string text(reinterpret_cast<const char*>(data + 1 + count), size - 1 - count);

  const Brimsel::StringList got = Brimsel::tokenize(text, delimiters);
  const std::vector<std::string> expected = reference::tokenize(text, delimiters);
  if (got.size() != expected.size() || !std::equal(got.begin(), got.end(), expected.begin()))
    std::abort();
  return 0;
}
