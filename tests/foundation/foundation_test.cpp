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
using Brimsel::detail::CrcPath;

namespace {

std::string textOf(const Exception& e) {
  std::ostringstream out;
  out << std::hex << e;  // numbers in the stream's own format
  return out.str();
}

struct Derived : Exception {};  // reaches the protected default constructor

TEST(Exception, TableOfCodesAndTheFiveLineText) {
  const std::pair<int, const char*> table[] = {{0, "See legend"},
                                               {1, "Improperly constructed exception"},
                                               {2, "Unknown"},
                                               {3, "Not Implemented"},
                                               {1001, "Failed to connect to daemon"},
                                               {1002, "Daemon is not connected"},
                                               {1003, "Daemon rejected authentication"},
                                               {2001, "Expected node not found in XML"},
                                               {2002, "Expected column not found in row"},
                                               {3001, "Bad substitution template."},
                                               {3002, "No such variable."},
                                               {4001, "Failed to create path."},
                                               {4100, "Failed to load shared object."},
                                               {4101, "Failed to locate symbol."},
                                               {4200, "Semaphore wait failed."},
                                               {4201, "Unknown/undocumented MS return code."},
                                               {4300, "Invalid Type."},
                                               {4301, "Type Mismatch."},
                                               {4302, "Coersion failed."},
                                               {4, ""},
                                               {999, ""},
                                               {1004, ""},
                                               {4303, ""},
                                               {-1, ""},
                                               {2147483647, ""}};
  for (const auto& [code, text] : table) EXPECT_EQ(Exception::explainErrorCode(code), text) << code;
  EXPECT_EQ(textOf(Exception("f", 255, 4302, true, "a \"b\"\nc")),  // nothing escaped
            "Error Code=10ce\nExplanation=\"Coersion failed.\"\nFatal=Y\nLegend=\"a "
            "\"b\"\nc\"\nLocation=f @ ff\n");
  EXPECT_EQ(textOf(Derived()),
            "Error Code=1\nExplanation=\"Improperly constructed "
            "exception\"\nFatal=Y\nLegend=\"\"\nLocation= @ ffffffff\n");
  const Exception original("x.cpp", 17, 4001, false, "why");
  Exception target(0, true, "old");
  EXPECT_EQ(&(target = original), &target);
  target = static_cast<const Exception&>(target);
  EXPECT_EQ(textOf(Exception(target)),
            "Error Code=fa1\nExplanation=\"Failed to create "
            "path.\"\nFatal=N\nLegend=\"why\"\nLocation=x.cpp @ 11\n");
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
    ASSERT_EQ(Brimsel::tokenize(text, alphabet[round % 8]),
              reference::tokenize(text, alphabet[round % 8]))
        << text;
  }
}

// Every path the processor offers (the switch only lowers it) on random
// buffers, offsets, lengths and registers, in one call and in random pieces.
class Crc32 : public ::testing::TestWithParam<CrcPath> {};
INSTANTIATE_TEST_SUITE_P(EveryPath, Crc32,
                         ::testing::Values(CrcPath::Slicing, CrcPath::Clmul, CrcPath::WideClmul,
                                           CrcPath::WidestClmul));

TEST_P(Crc32, AgreesWithTheBitwiseRegister) {
  const auto f = Brimsel::platform::cpuFeatures();
  const bool narrow = f.pclmul && f.ssse3 && f.sse41, wide = narrow && f.avx2 && f.vpclmulqdq;
  const CrcPath best = !narrow      ? CrcPath::Slicing
                       : !wide      ? CrcPath::Clmul
                       : f.avx512bw ? CrcPath::WidestClmul
                                    : CrcPath::WideClmul;
  ASSERT_EQ(Brimsel::detail::crc32SupportedPath(), best);
  if (GetParam() > best) GTEST_SKIP() << "this processor lacks the path";
  Brimsel::detail::limitCrc32Path(GetParam());
  ASSERT_EQ(Brimsel::detail::crc32ActivePath(), GetParam());
  unsigned char check[] = "123456789";
  EXPECT_EQ(Brimsel::crc32(0xFFFFFFFFu, check, 9), 0x0376E6E7u);
  std::mt19937 rng(static_cast<unsigned>(GetParam()));
  std::vector<unsigned char> data(3u << 20);
  for (auto& b : data) b = static_cast<unsigned char>(rng() % 4 == 0 ? 0 : rng());
  for (int round = 0; round < 3000; ++round) {
    const std::size_t offset = rng() % 64,
                      length = round < 2997 ? rng() % (rng() % 2 ? 600 : 9000) : data.size() - 64;
    const std::uint32_t start = round % 3 == 0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(rng());
    Brimsel::CrcRegister r = start;
    for (std::size_t done = 0, piece; done < length || done == 0; done += piece) {
      piece = std::min<std::size_t>(length - done, round % 2 ? length : rng() % 700);
      r = Brimsel::crc32(r, data.data() + offset + done, static_cast<Brimsel::CrcRegister>(piece));
      if (length == 0) break;
    }
    ASSERT_EQ(r, reference::crc32(start, data.data() + offset, length))
        << "offset " << offset << " length " << length;
  }
  Brimsel::detail::limitCrc32Path(CrcPath::WidestClmul);
}

}  // namespace
