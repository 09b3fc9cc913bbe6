// SPDX-License-Identifier: MIT
#include <brimsel/util.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace Brimsel {

namespace {

inline bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string& ltrim(std::string& s) {
  std::string::size_type first = 0;
  while (first < s.size() && isBlank(s[first])) ++first;
  s.erase(0, first);  // all of it when the string is only blanks and tabs
  return s;
}

std::string& rtrim(std::string& s) {
  std::string::size_type end = s.size();
  while (end > 0 && isBlank(s[end - 1])) --end;
  s.erase(end);
  return s;
}

std::string& trim(std::string& s) { return ltrim(rtrim(s)); }

void replace(std::string& s, const std::string& from, const std::string& to) {
  if (from.empty()) return;
  const std::string_view text(s);
  std::string_view::size_type hit = text.find(from);
  if (hit == std::string_view::npos) return;  // nothing to do, nothing allocated

  // Rebuild into a new buffer in one pass: searching the original after each
  // occurrence is the same as searching the changed string behind the text
  // just inserted, and it keeps the work linear however many occurrences
  // there are. `s` is only replaced once the result is complete.
  std::string result;
  result.reserve(s.size());  // exact when the lengths match; growth is amortised otherwise
  std::string_view::size_type done = 0;
  do {
    result.append(text.data() + done, hit - done);
    result.append(to);
    done = hit + from.size();
    hit = text.find(from, done);
  } while (hit != std::string_view::npos);
  result.append(text.data() + done, text.size() - done);
  s.swap(result);
}

StringList tokenize(const std::string& s, const std::string& delimiters) {
  StringList tokens;
  if (s.empty()) {
    tokens.emplace_back();  // the empty string is one empty token
    return tokens;
  }
  // A membership table makes each character one lookup, whatever the size of
  // the delimiter set.
  std::array<bool, 256> isDelimiter{};
  for (unsigned char c : delimiters) isDelimiter[c] = true;

  // One pass counts the tokens (each starts where a non-delimiter follows a
  // delimiter or the start), so the list is sized once instead of regrown.
  std::size_t count = 0;
  bool afterDelimiter = true;
  for (unsigned char c : s) {
    const bool delimiter = isDelimiter[c];
    count += static_cast<std::size_t>(afterDelimiter && !delimiter);
    afterDelimiter = delimiter;
  }
  tokens.reserve(count);

  const char* p = s.data();
  const char* const end = p + s.size();
  for (;;) {
    while (p != end && isDelimiter[static_cast<unsigned char>(*p)]) ++p;
    if (p == end) break;
    const char* start = p;
    while (p != end && !isDelimiter[static_cast<unsigned char>(*p)]) ++p;
    tokens.emplace_back(start, static_cast<std::string::size_type>(p - start));
  }
  return tokens;
}

StringList tokenize(const std::string& s, char delimiter) {
  StringList tokens;
  // Every delimiter ends one token, so the list's final size is known up
  // front: one counting pass (which vectorises) saves every regrowth.
  tokens.reserve(static_cast<std::size_t>(std::count(s.begin(), s.end(), delimiter)) + 1);
  const char* p = s.data();
  const char* const end = p + s.size();
  for (;;) {
    const void* hit = std::memchr(p, delimiter, static_cast<std::size_t>(end - p));
    const char* stop = hit != nullptr ? static_cast<const char*>(hit) : end;
    tokens.emplace_back(p, static_cast<std::string::size_type>(stop - p));
    if (hit == nullptr) break;
    p = stop + 1;
  }
  return tokens;
}

}  // namespace Brimsel
