// SPDX-License-Identifier: MIT
// tokenize by one delimiter character against a plain rendering of its
// rules. Input: the delimiter, then the text.
#include <brimsel/util.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "reference/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const char delimiter = static_cast<char>(data[0]);
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  const Brimsel::StringList got = Brimsel::tokenize(text, delimiter);
  const std::vector<std::string> expected = reference::tokenize(text, delimiter);
  if (got.size() != expected.size() || !std::equal(got.begin(), got.end(), expected.begin()))
    std::abort();
  // Joining the tokens with the delimiter gives the text back.
  std::string joined;
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (i != 0) joined += delimiter;
    joined += got[i];
  }
  if (joined != text) std::abort();
  return 0;
}
