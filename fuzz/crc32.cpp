// SPDX-License-Identifier: MIT
// crc32 on every path the processor offers against the register run bit by
// bit. Input: four bytes of starting register, two bytes choosing where to
// split the rest into two chained calls, then the data. Data longer than the
// input is made by repeating it, so the bulk paths see long buffers too.
#include <brimsel/util.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "crc32_tables.h"
#include "reference/crc.h"

namespace {

Brimsel::CrcRegister crc(std::uint32_t r, const unsigned char* p, std::size_t n) {
  // The register only reads the buffer; its signature takes it non-const.
  return Brimsel::crc32(r, const_cast<unsigned char*>(p), static_cast<Brimsel::CrcRegister>(n));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 7) return 0;
  const std::uint32_t start = (std::uint32_t(data[0]) << 24) | (std::uint32_t(data[1]) << 16) |
                              (std::uint32_t(data[2]) << 8) | std::uint32_t(data[3]);
  const std::size_t splitChoice = (std::size_t(data[4]) << 8) | data[5];
  const std::size_t repeat = 1 + data[6] % 4;
  std::vector<unsigned char> buffer;
  for (std::size_t i = 0; i < repeat; ++i) buffer.insert(buffer.end(), data + 7, data + size);
  // An exact-size heap block, so that reading one byte too far trips the sanitizer.
  const std::size_t n = buffer.size();
  const std::uint32_t expected = reference::crc32(start, buffer.data(), n);
  const std::size_t split = n == 0 ? 0 : splitChoice % (n + 1);

  using Brimsel::detail::CrcPath;
  for (CrcPath path :
       {CrcPath::Slicing, CrcPath::Clmul, CrcPath::WideClmul, CrcPath::WidestClmul}) {
    Brimsel::detail::limitCrc32Path(path);
    if (crc(start, buffer.data(), n) != expected) std::abort();
    const Brimsel::CrcRegister first = crc(start, buffer.data(), split);
    if (crc(first, buffer.data() + split, n - split) != expected) std::abort();
  }
  Brimsel::detail::limitCrc32Path(CrcPath::WidestClmul);
  return 0;
}
