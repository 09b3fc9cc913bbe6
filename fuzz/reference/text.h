// SPDX-License-Identifier: MIT
// Plain renderings of the text helpers' rules with std::string's own
// searches, and the obvious (quadratic) expansion of templates.
#ifndef BRIMSEL_FUZZ_REFERENCE_TEXT_H
#define BRIMSEL_FUZZ_REFERENCE_TEXT_H

#include <brimsel/exception.h>
#include <brimsel/variable.h>

#include <string>
#include <vector>

namespace reference {

inline std::string ltrim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  return first == std::string::npos ? std::string() : s.substr(first);
}
inline std::string rtrim(const std::string& s) {
  const auto last = s.find_last_not_of(" \t");
  return last == std::string::npos ? std::string() : s.substr(0, last + 1);
}

// Find, replace, resume behind the inserted text.
inline std::string replace(std::string s, const std::string& from, const std::string& to) {
  for (auto at = from.empty() ? std::string::npos : s.find(from); at != std::string::npos;
       at = s.find(from, at)) {
    s.replace(at, from.size(), to);
    at += to.size();
  }
  return s;
}

// Runs of delimiters give no token; the empty text gives one empty token.
inline std::vector<std::string> tokenize(const std::string& s, const std::string& delimiters) {
  if (s.empty()) return {""};
  std::vector<std::string> tokens;
  for (auto start = s.find_first_not_of(delimiters); start != std::string::npos;) {
    const auto end = s.find_first_of(delimiters, start);
    tokens.push_back(s.substr(start, end - start));
    start = end == std::string::npos ? end : s.find_first_not_of(delimiters, end);
  }
  return tokens;
}

// Every delimiter ends a token, empty ones included.
inline std::vector<std::string> tokenize(const std::string& s, char delimiter) {
  std::vector<std::string> tokens(1);
  for (char c : s) {
    if (c == delimiter)
      tokens.emplace_back();
    else
      tokens.back().push_back(c);
  }
  return tokens;
}

// "=<result>" of replacing the leftmost reference and searching again from
// the front, "<code>:<legend>" of a failure, "too long" past 100000
// characters, or "cycle" after `limit` rounds.
inline std::string expand(const std::string& templ, const Brimsel::VariableMap& vars, int limit) {
  std::string s = templ;
  try {
    for (int n = 0; n < limit; ++n) {
      if (s.size() > 100000) return "too long";
      const auto open = s.find("$(");
      if (open == std::string::npos) return "=" + s;
      const auto close = s.find(')', open);
      if (close == std::string::npos) return "3001:" + templ;
      const auto found = vars.find(s.substr(open + 2, close - open - 2));
      if (found == vars.end()) return "3002:" + s.substr(open + 2, close - open - 2);
      s.replace(open, close - open + 1, found->second.toString());
    }
  } catch (const Brimsel::Exception& e) {
    return std::to_string(e.errorCode()) + ":" + e.legend();
  }
  return "cycle";
}

}  // namespace reference

#endif
