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

namespace {

std::vector<std::string> reference(const std::string& s, const std::string& delimiters) {
  std::vector<std::string> tokens;
  std::string::size_type start = 0;
  while (start != std::string::npos) {
    // find_first_of finds nothing in an empty set, so the text is one token.
    const std::string::size_type end = s.find_first_of(delimiters, start);
    if (end != start) tokens.push_back(end == std::string::npos ? s.substr(start) : s.substr(start, end - start));
    start = end == std::string::npos ? std::string::npos : s.find_first_not_of(delimiters, end);
  }
  return tokens;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t count = std::min<std::size_t>(data[0] % 8, size - 1);
  const std::string delimiters(reinterpret_cast<const char*>(data + 1), count);
  const std::string text(reinterpret_cast<const char*>(data + 1 + count), size - 1 - count);

  const Brimsel::StringList got = Brimsel::tokenize(text, delimiters);
  const std::vector<std::string> expected = reference(text, delimiters);
  if (got.size() != expected.size() || !std::equal(got.begin(), got.end(), expected.begin())) std::abort();
  return 0;
}
