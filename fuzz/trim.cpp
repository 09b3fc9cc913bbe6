// SPDX-License-Identifier: MIT
// ltrim, rtrim and trim against a plain rendering of their rules: only blank
// and tab are white space, and a string made only of them becomes empty.
#include <brimsel/util.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::string referenceLeft(std::string s) {
  const std::string::size_type first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return s.substr(first);
}

std::string referenceRight(std::string s) {
  const std::string::size_type last = s.find_last_not_of(" \t");
  if (last == std::string::npos) return std::string();
  return s.substr(0, last + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  std::string left = text;
  if (&Brimsel::ltrim(left) != &left || left != referenceLeft(text)) std::abort();
  std::string right = text;
  if (&Brimsel::rtrim(right) != &right || right != referenceRight(text)) std::abort();
  std::string both = text;
  if (&Brimsel::trim(both) != &both || both != referenceLeft(referenceRight(text))) std::abort();
  // Trimming again changes nothing.
  std::string again = both;
  if (Brimsel::trim(again) != both) std::abort();
  return 0;
}
