#include <brimsel/guid.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <set>
#include <string>
#include <vector>

using Brimsel::Guid;

// The layout that code handing identifiers to and from the system relies on.
static_assert(sizeof(_GUID) == 16, "16 bytes");
static_assert(offsetof(_GUID, Data2) == 4 && offsetof(_GUID, Data3) == 6 &&
                  offsetof(_GUID, Data4) == 8,
              "Data1, Data2, Data3, Data4 without padding");

namespace {

_GUID makeGuid(unsigned long d1, unsigned short d2, unsigned short d3,
               std::initializer_list<unsigned char> d4) {
  _GUID g = {};
  g.Data1 = static_cast<decltype(g.Data1)>(d1);
  g.Data2 = d2;
  g.Data3 = d3;
  std::copy(d4.begin(), d4.end(), g.Data4);
  return g;
}

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

TEST(Guid, NullIsAllZeros) {
  const _GUID zero = {};
  EXPECT_EQ(Guid(), Guid::null);
  EXPECT_EQ(Guid(zero), Guid::null);
  EXPECT_EQ(Guid::null.asString(), "00000000-0000-0000-0000-000000000000");
  EXPECT_EQ(Guid::fromString("00000000-0000-0000-0000-000000000000"), Guid::null);
}

TEST(Guid, TextFormIsZeroPaddedUpperCase) {
  const Guid g(makeGuid(0x12AB, 0x4567, 0x89EF, {1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(g.asString(), "000012AB-4567-89EF-0102-030405060708");
  const Guid h(makeGuid(0xFFFFFFFFUL, 0xFFFF, 0xABCD, {0xFF, 0xEE, 0, 0x0A, 0xB0, 0xC1, 0xD2, 0xE3}));
  EXPECT_EQ(h.asString(), "FFFFFFFF-FFFF-ABCD-FFEE-000AB0C1D2E3");
  EXPECT_EQ(Guid::fromString(h.asString()), h);
  EXPECT_EQ(h.asGuid().Data1, 0xFFFFFFFFUL);
  EXPECT_EQ(h.asGuid().Data4[1], 0xEE);
}

TEST(Guid, FromStringReadsEitherCase) {
  const Guid g = Guid::fromString("a1b2c3d4-e5f6-0718-293a-4b5c6d7e8f90");
  EXPECT_EQ(g, Guid(makeGuid(0xA1B2C3D4UL, 0xE5F6, 0x0718,
                             {0x29, 0x3A, 0x4B, 0x5C, 0x6D, 0x7E, 0x8F, 0x90})));
  EXPECT_EQ(Guid::fromString("A1B2C3D4-e5F6-0718-293A-4b5C6d7E8f90"), g);
  // A zero byte ends the text, as for the C string the system reads.
  EXPECT_EQ(Guid::fromString(std::string("a1b2c3d4-e5f6-0718-293a-4b5c6d7e8f90\0junk", 41)), g);
}

TEST(Guid, TextThatIsNoIdentifierGivesNull) {
  const char* const apszJunk[] = {
      "",
      "junk",
      "12345678-1234-1234-1234-12345678901",    // 35 characters
      "12345678-1234-1234-1234-1234567890123",  // 37 characters
      "{12345678-1234-1234-1234-123456789012}",
      "12345678-1234-1234-1234_123456789012",
      "123456781-234-1234-1234-123456789012",
      "1234567G-1234-1234-1234-123456789012",
      "12345678-1234-1234-1234-12345678901g",
      " 2345678-1234-1234-1234-123456789012",
      "+2345678-1234-1234-1234-123456789012",
      "12345678-+234-1234-1234-123456789012",
      "0x345678-1234-1234-1234-123456789012",
      "12345678-1234-1234-12-3-123456789012",
      "12345678123412341234123456789012",
  };
  for (const char* psz : apszJunk) EXPECT_EQ(Guid::fromString(psz), Guid::null) << psz;
  EXPECT_EQ(Guid::fromString(std::string("12345678-1234-1234-1234-12345678901\0" "2", 37)),
            Guid::null);
}

TEST(Guid, CreatedIdentifiersAreNewAndSurviveTheirTextForm) {
  std::set<std::string> seen;
  for (int i = 0; i < 500; ++i) {
    const Guid g = Guid::create();
    const std::string s = g.asString();
    ASSERT_EQ(s.size(), 36u);
    EXPECT_TRUE(seen.insert(s).second) << "repeated " << s;
    EXPECT_NE(g, Guid::null);
    EXPECT_EQ(Guid::fromString(s), g);
    EXPECT_EQ(upper(s), s);
    std::string lower = s;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(Guid::fromString(lower), g);
    // Random identifiers of RFC 4122: version 4 and the variant 10xx.
    EXPECT_EQ(s[14], '4') << s;
    EXPECT_NE(std::string("89AB").find(s[19]), std::string::npos) << s;
  }
}

TEST(Guid, OrderComparesTheNumbersUnsignedThenTheBytes) {
  // Each identifier is greater than the one before; the differences sit in
  // every field, with high bits set where a signed comparison would go wrong.
  const std::vector<Guid> ascending = {
      Guid::null,
      Guid(makeGuid(0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1})),
      Guid(makeGuid(0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0x80})),
      Guid(makeGuid(0, 0, 0, {0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})),
      Guid(makeGuid(0, 0, 0, {0x80, 0, 0, 0, 0, 0, 0, 0})),
      Guid(makeGuid(0, 0, 0x7FFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})),
      Guid(makeGuid(0, 0, 0x8000, {0, 0, 0, 0, 0, 0, 0, 0})),
      Guid(makeGuid(0, 0x8000, 0, {0, 0, 0, 0, 0, 0, 0, 0})),
      Guid(makeGuid(0x000000FFUL, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0})),
      Guid(makeGuid(0x00000100UL, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0})),
      Guid(makeGuid(0x7FFFFFFFUL, 0xFFFF, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})),
      Guid(makeGuid(0x80000000UL, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0})),
      Guid(makeGuid(0xFFFFFFFFUL, 0xFFFF, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})),
  };
  for (std::size_t i = 0; i < ascending.size(); ++i) {
    for (std::size_t j = 0; j < ascending.size(); ++j) {
      SCOPED_TRACE(ascending[i].asString() + " vs " + ascending[j].asString());
      EXPECT_EQ(ascending[i] < ascending[j], i < j);
      EXPECT_EQ(ascending[i] > ascending[j], i > j);
      EXPECT_EQ(ascending[i] == ascending[j], i == j);
      EXPECT_EQ(ascending[i] != ascending[j], i != j);
    }
  }
}

TEST(Guid, OrderOfCreatedIdentifiersIsStrictAndTotal) {
  std::vector<Guid> guids;
  for (int i = 0; i < 200; ++i) guids.push_back(Guid::create());
  guids.push_back(guids[7]);  // one equal pair
  for (const Guid& a : guids) {
    for (const Guid& b : guids) {
      const int nHolding = (a < b) + (a > b) + (a == b);
      ASSERT_EQ(nHolding, 1) << a.asString() << " vs " << b.asString();
    }
  }
  // Sorted by <, the text forms (upper-case hexadecimal, most significant
  // digit first) come out sorted as well.
  std::sort(guids.begin(), guids.end());
  for (std::size_t i = 1; i < guids.size(); ++i)
    EXPECT_LE(guids[i - 1].asString(), guids[i].asString());
}

TEST(Guid, CopiesCarryAllSixteenBytes) {
  const Guid g = Guid::create();
  Guid h;
  h = g;
  EXPECT_EQ(h, g);
  EXPECT_EQ(Guid(g.asGuid()), g);
  EXPECT_EQ(Guid(g), g);
}
