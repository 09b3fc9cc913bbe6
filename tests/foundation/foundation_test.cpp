// SPDX-License-Identifier: MIT
// Exception, the text helpers and CRC-32; the helpers against the plain
// renderings of their rules on random input.
#include <brimsel/exception.h>
#include <brimsel/util.h>
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "crc32_tables.h"
#include "platform/cpu.h"
#include "reference/crc.h"
#include "reference/text.h"

using Brimsel::Exception;

namespace {

// The texts of `all`, one after the other, numbers in the stream's own format.
std::string textOf(std::initializer_list<Exception> all) {
  std::ostringstream out;
  for (const Exception& e : all) out << std::hex << e;
  return out.str();
}

struct Derived : Exception {};  // reaches the protected default constructor

// Every code from -100 to 9999 that has an explanation: the whole table and no
// other. The five-line text escapes nothing; a default-constructed exception,
// a copy and an assigned one.
TEST(Exception, TableOfCodesAndTheFiveLineText) {
  std::string table;
  for (int code = -100; code < 10000; ++code)
    if (!Exception::explainErrorCode(code).empty())
      table += std::to_string(code) + "=" + Exception::explainErrorCode(code) + "\n";
  EXPECT_EQ(table,
            "0=See legend\n1=Improperly constructed exception\n2=Unknown\n3=Not Implemented\n"
            "1001=Failed to connect to daemon\n1002=Daemon is not connected\n"
            "1003=Daemon rejected authentication\n2001=Expected node not found in XML\n"
            "2002=Expected column not found in row\n3001=Bad substitution template.\n"
            "3002=No such variable.\n4001=Failed to create path.\n"
            "4100=Failed to load shared object.\n4101=Failed to locate symbol.\n"
            "4200=Semaphore wait failed.\n4201=Unknown/undocumented MS return code.\n"
            "4300=Invalid Type.\n4301=Type Mismatch.\n4302=Coersion failed.\n");
  Exception target(0, true, "old");
  EXPECT_EQ(&(target = Exception("x.cpp", 17, 4001, false, "why")), &target);
  target = static_cast<const Exception&>(target);
  EXPECT_EQ(
      textOf({Exception("f", 255, 4302, true, "a \"b\"\nc"), Derived(), target}),
      "Error Code=10ce\nExplanation=\"Coersion failed.\"\nFatal=Y\nLegend=\"a \"b\"\nc\"\n"
      "Location=f @ ff\nError Code=1\nExplanation=\"Improperly constructed exception\"\n"
      "Fatal=Y\nLegend=\"\"\nLocation= @ ffffffff\nError Code=fa1\n"
      "Explanation=\"Failed to create path.\"\nFatal=N\nLegend=\"why\"\nLocation=x.cpp @ 11\n");
}

// Small alphabets, so that delimiters, blanks and occurrences are common.
TEST(Text, HelpersAgreeWithTheirRulesOnRandomText) {
  std::mt19937 rng(1);
  const std::string alphabet("ab \t,;\n\0", 8);
  auto random = [&](const std::string& from, std::size_t max) {
    std::string s(rng() % (max + 1), ' ');
    for (char& c : s) c = from[rng() % from.size()];
    return s;
  };
  for (int round = 0; round < 20000; ++round) {
    const std::string text = random(alphabet, 12), from = random("ab", 3), to = random("abc", 3),
                      set = random(alphabet, 3);
    std::string l = text, r = text, b = text, replaced = text;
    ASSERT_TRUE(&Brimsel::ltrim(l) == &l && &Brimsel::rtrim(r) == &r && &Brimsel::trim(b) == &b);
    ASSERT_EQ(l + "|" + r + "|" + b, reference::ltrim(text) + "|" + reference::rtrim(text) + "|" +
                                         reference::ltrim(reference::rtrim(text)));
    Brimsel::replace(replaced, from, to);
    ASSERT_EQ(replaced, reference::replace(text, from, to)) << text << " " << from << " " << to;
    ASSERT_EQ(Brimsel::tokenize(text, set), reference::tokenize(text, set)) << text;
    for (char d : alphabet) ASSERT_EQ(Brimsel::tokenize(text, d), reference::tokenize(text, d));
  }
}

// Every path the processor offers (the switch only lowers it; each path
// needs the features of the one below) on random buffers, offsets, lengths and
// registers, in one call and in two pieces.
TEST(Crc32, EveryPathAgreesWithTheBitwiseRegister) {
  const auto f = Brimsel::platform::cpuFeatures();
  const bool narrow = f.pclmul && f.ssse3 && f.sse41, wide = narrow && f.avx2 && f.vpclmulqdq;
  const int best = narrow + wide + (wide && f.avx512bw);
  ASSERT_EQ(int(Brimsel::detail::crc32SupportedPath()), best);
  std::mt19937 rng(1);
  std::vector<unsigned char> data(3u << 20);
  for (auto& b : data) b = static_cast<unsigned char>(rng() % 4 == 0 ? 0 : rng());
  unsigned char check[] = "123456789";
  for (int path = 0; path <= best; ++path) {
    Brimsel::detail::limitCrc32Path(static_cast<Brimsel::detail::CrcPath>(path));
    ASSERT_EQ(int(Brimsel::detail::crc32ActivePath()), path);
    EXPECT_EQ(Brimsel::crc32(0xFFFFFFFFu, check, 9), 0x0376E6E7u);
    for (int round = 0; round < 3000; ++round) {
      unsigned char* const at = data.data() + rng() % 64;
      const auto length = static_cast<std::uint32_t>(round < 2997 ? rng() % (rng() % 2 ? 600 : 9000)
                                                                  : data.size() - 64);
      const auto cut = round % 2 ? length : static_cast<std::uint32_t>(rng() % (length + 1));
      const std::uint32_t start = round % 3 == 0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(rng());
      ASSERT_EQ(Brimsel::crc32(Brimsel::crc32(start, at, cut), at + cut, length - cut),
                reference::crc32(start, at, length))
          << "path " << path << ", at " << at - data.data() << ", " << cut << " + " << length - cut;
    }
  }
  Brimsel::detail::limitCrc32Path(Brimsel::detail::CrcPath::WidestClmul);
}

}  // namespace
