// SPDX-License-Identifier: MIT
// Guid::fromString on arbitrary bytes: it must never fail; whatever it reads
// other than null prints back as the input itself (up to the first zero byte)
// in upper case, and reads back to the same identifier.
#include <brimsel/guid.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const Brimsel::Guid g = Brimsel::Guid::fromString(text);
  if (g == Brimsel::Guid::null) return 0;
  std::string upper = text.substr(0, text.find('\0'));
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (g.asString() != upper) std::abort();
  if (Brimsel::Guid::fromString(g.asString()) != g) std::abort();
  if (g < g || g > g) std::abort();
  return 0;
}
