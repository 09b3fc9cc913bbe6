// SPDX-License-Identifier: MIT
// Version::fromText on arbitrary bytes: it must never fail, every part it
// reports is either "not found" (-1) or a non-negative number, parts after a
// missing one are missing too, and reading its own text form back gives the
// same version.
#include <brimsel/version.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const Brimsel::Version v = Brimsel::Version::fromText(text);
  const int anParts[4] = {v.verMajor(), v.verMinor(), v.release(), v.build()};
  bool bMissing = false;
  for (int n : anParts) {
    if (n < -1) std::abort();
    if (bMissing && n != -1) std::abort();
    bMissing = n == -1;
  }
  // Only the first 128 characters count.
  if (size > 128 && Brimsel::Version::fromText(text.substr(0, 128)) != v) std::abort();
  if (!bMissing && Brimsel::Version::fromText(v.text()) != v) std::abort();
  return 0;
}
