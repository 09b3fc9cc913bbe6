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
static_assert(sizeof(_GUID) == 16 && offsetof(_GUID, Data2) == 4 && offsetof(_GUID, Data3) == 6 &&
                  offsetof(_GUID, Data4) == 8,
              "Data1, Data2, Data3, Data4 in 16 bytes without padding");

TEST(Guid, TextFormIsZeroPaddedUpperCase) {
  const _GUID zero = {};
  EXPECT_EQ(Guid(), Guid::null);
  EXPECT_EQ(Guid(zero), Guid::null);
  EXPECT_EQ(Guid::null.asString(), "00000000-0000-0000-0000-000000000000");
  const _GUID example = {0x12AB, 0x4567, 0x89EF, {1, 2, 3, 4, 5, 6, 7, 8}};
  EXPECT_EQ(Guid(example).asString(), "000012AB-4567-89EF-0102-030405060708");
  const _GUID high = {0xFFFFFFFFUL, 0xFFFF, 0xABCD, {0xFF, 0xEE, 0, 0x0A, 0xB0, 0xC1, 0xD2, 0xE3}};
  EXPECT_EQ(Guid(high).asString(), "FFFFFFFF-FFFF-ABCD-FFEE-000AB0C1D2E3");
}

TEST(Guid, FromStringReadsEitherCaseIntoTheFields) {
  const Guid g = Guid::fromString("a1b2c3d4-e5f6-0718-293a-4b5c6d7e8f90");
  EXPECT_EQ(g.asGuid().Data1, 0xA1B2C3D4UL);
  EXPECT_EQ(g.asGuid().Data2, 0xE5F6);
  EXPECT_EQ(g.asGuid().Data3, 0x0718);
  EXPECT_EQ(g.asGuid().Data4[0], 0x29);
  EXPECT_EQ(g.asGuid().Data4[7], 0x90);
  EXPECT_EQ(Guid::fromString("A1B2C3D4-e5F6-0718-293A-4b5C6d7E8f90"), g);
  // A zero byte ends the text, as for the C string the system reads.
  EXPECT_EQ(Guid::fromString(std::string("a1b2c3d4-e5f6-0718-293a-4b5c6d7e8f90\0junk", 41)), g);
}

TEST(Guid, TextThatIsNoIdentifierGivesNull) {
  for (const char* psz : {"", "junk", "12345678-1234-1234-1234-12345678901",
                          "12345678-1234-1234-1234-1234567890123",
                          "{12345678-1234-1234-1234-123456789012}",
                          "12345678-1234-1234-1234_123456789012", "123456781-234-1234-1234-123456789012",
                          "1234567G-1234-1234-1234-123456789012", " 2345678-1234-1234-1234-123456789012",
                          "+2345678-1234-1234-1234-123456789012", "0x345678-1234-1234-1234-123456789012",
                          "12345678-1234-1234-12-3-123456789012"})
    EXPECT_EQ(Guid::fromString(psz), Guid::null) << psz;
}

TEST(Guid, CreatedIdentifiersAreNewRandomAndSurviveTheirTextForm) {
  std::set<std::string> seen;
  for (int i = 0; i < 500; ++i) {
    const Guid g = Guid::create();
    const std::string s = g.asString();
    EXPECT_TRUE(seen.insert(s).second) << "repeated " << s;
    std::string lower = s;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(Guid::fromString(s), g);
    EXPECT_EQ(Guid::fromString(lower), g);
    // Random identifiers of RFC 4122: version 4 and the variant 10xx.
    EXPECT_EQ(s[14], '4') << s;
    EXPECT_NE(std::string("89AB").find(s[19]), std::string::npos) << s;
  }
}

TEST(Guid, OrderComparesTheNumbersUnsignedThenTheBytes) {
  // Ascending; each field decides somewhere, with high bits set where a
  // signed or byte-wise comparison of the numbers would go wrong.
  std::vector<Guid> ascending;
  for (const char* psz : {"00000000-0000-0000-0000-000000000000", "00000000-0000-0000-0000-000000000001",
                          "00000000-0000-0000-0000-000000000080", "00000000-0000-0000-7FFF-FFFFFFFFFFFF",
                          "00000000-0000-0000-8000-000000000000", "00000000-0000-7FFF-FFFF-FFFFFFFFFFFF",
                          "00000000-0000-8000-0000-000000000000", "00000000-8000-0000-0000-000000000000",
                          "000000FF-0000-0000-0000-000000000000", "00000100-0000-0000-0000-000000000000",
                          "7FFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF", "80000000-0000-0000-0000-000000000000",
                          "FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF"})
    ascending.push_back(Guid::fromString(psz));
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

TEST(Guid, OrderOfCreatedIdentifiersIsStrictTotalAndThatOfTheirText) {
  std::vector<Guid> guids;
  for (int i = 0; i < 200; ++i) guids.push_back(Guid::create());
  guids.push_back(guids[7]);  // one equal pair
  for (const Guid& a : guids)
    for (const Guid& b : guids)
      ASSERT_EQ((a < b) + (a > b) + (a == b), 1) << a.asString() << " vs " << b.asString();
  std::sort(guids.begin(), guids.end());
  for (std::size_t i = 1; i < guids.size(); ++i)
    EXPECT_LE(guids[i - 1].asString(), guids[i].asString());
}
