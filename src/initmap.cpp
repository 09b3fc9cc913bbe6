// SPDX-License-Identifier: MIT
#include <brimsel/initmap.h>
#include <brimsel/util.h>

namespace Brimsel {

std::string InitMap::initString() const {
  std::string::size_type size = 0;
  for (const auto& entry : *this) size += entry.first.size() + entry.second.size() + 2;
  std::string text;
  text.reserve(size);
  bool first = true;
  for (const auto& entry : *this) {
    if (!first) text += '\n';
    first = false;
    text += entry.first;
    text += '\t';
    text += entry.second;
  }
  return text;
}

InitMap InitMap::fromInitString(const std::string& text) {
  InitMap map;
  for (const std::string& line : tokenize(text, std::string("\n"))) {
    StringList fields = tokenize(line, std::string("\t"));
    if (fields.size() < 2) continue;
    // emplace keeps the value of an earlier line with the same key.
    map.emplace(std::move(fields[0]), std::move(fields[1]));
  }
  return map;
}

}  // namespace Brimsel
