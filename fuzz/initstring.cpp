// SPDX-License-Identifier: MIT
// fromInitString never fails and yields no empty key or value and none with a
// tab or a line feed; such a map survives writing and reading back exactly.
#include <brimsel/initmap.h>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const Brimsel::InitMap map = Brimsel::InitMap::fromInitString(text);
  for (const auto& entry : map) {
    for (const std::string* s : {&entry.first, &entry.second}) {
      if (s->empty() || s->find_first_of("\t\n") != std::string::npos) std::abort();
    }
  }
  const std::string written = map.initString();
  if (Brimsel::InitMap::fromInitString(written) != map) std::abort();
  if (map.size() > text.size()) std::abort();
  return 0;
}
