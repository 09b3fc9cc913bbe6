// SPDX-License-Identifier: MIT
// ltrim, rtrim and trim against a plain rendering of their rules: only blank
// and tab are white space, and a string made only of them becomes empty.
#include <brimsel/util.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "reference/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  std::string left = text;
  if (&Brimsel::ltrim(left) != &left || left != reference::ltrim(text)) std::abort();
  std::string right = text;
  if (&Brimsel::rtrim(right) != &right || right != reference::rtrim(text)) std::abort();
  std::string both = text;
  if (&Brimsel::trim(both) != &both || both != reference::ltrim(reference::rtrim(text)))
    std::abort();
  // Trimming again changes nothing.
  std::string again = both;
  if (Brimsel::trim(again) != both) std::abort();
  return 0;
}
