// SPDX-License-Identifier: MIT
// The CRC-32 register shifted bit by bit: the definition every path of
// crc32() must agree with (polynomial 0x04C11DB7, most significant bit first).
#ifndef BRIMSEL_FUZZ_REFERENCE_CRC_H
#define BRIMSEL_FUZZ_REFERENCE_CRC_H

#include <cstddef>
#include <cstdint>

namespace reference {

inline std::uint32_t crc32(std::uint32_t crc, const unsigned char* p, std::size_t len) {
  for (std::size_t i = 0; i < len; ++i) {
    crc ^= std::uint32_t(p[i]) << 24;
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

}  // namespace reference

#endif
