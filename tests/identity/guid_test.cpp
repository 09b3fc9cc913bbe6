// SPDX-License-Identifier: MIT
// The library's header comes first here: the system's headers must accept the
// _GUID it declared (createpath_test.cpp has the other order).
#include <brimsel/guid.h>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objbase.h>
#endif

#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <string>
#include <vector>

using Brimsel::Guid;

// The layout that code handing identifiers to and from the system relies on.
static_assert(sizeof(_GUID) == 16 && offsetof(_GUID, Data2) == 4 && offsetof(_GUID, Data3) == 6 &&
                  offsetof(_GUID, Data4) == 8,
              "Data1, Data2, Data3, Data4 in 16 bytes without padding");

TEST(Guid, TextFormIsZeroPaddedUpperCaseAndReadInEitherCase) {
#if defined(_WIN32)
  EXPECT_TRUE(IsEqualGUID(Guid::null.asGuid(), GUID_NULL));
#endif
  EXPECT_EQ(Guid::null.asString(), "00000000-0000-0000-0000-000000000000");
  const _GUID example = {0x12AB, 0x4567, 0x89EF, {1, 2, 3, 4, 5, 6, 7, 8}};
  EXPECT_EQ(Guid(example).asString(), "000012AB-4567-89EF-0102-030405060708");
  const _GUID high = {0xFFFFFFFFUL, 0xFFFF, 0xABCD, {0xFF, 0xEE, 0, 0x0A, 0xB0, 0xC1, 0xD2, 0xE3}};
  EXPECT_EQ(Guid(high).asString(), "FFFFFFFF-FFFF-ABCD-FFEE-000AB0C1D2E3");
  EXPECT_EQ(Guid::fromString("ffffffff-FFFF-abcd-ffEE-000ab0c1d2e3"), Guid(high));
  // A zero byte ends the text, as for the C string the system reads.
  EXPECT_EQ(Guid::fromString(std::string("000012ab-4567-89ef-0102-030405060708\0junk", 41)), Guid(example));
}

TEST(Guid, TextThatIsNoIdentifierGivesNull) {
  for (const char* psz : {"", "junk", "12345678-1234-1234-1234-12345678901",
                          "12345678-1234-1234-1234-1234567890123",
                          "{12345678-1234-1234-1234-123456789012}",
                          "12345678-1234-1234-1234_123456789012", "123456781-234-1234-1234-123456789012",
                          "12345678-1234_1234-1234-123456789012", "12345678-1234-1234_1234-123456789012",
                          "1234567G-1234-1234-1234-123456789012", " 2345678-1234-1234-1234-123456789012",
                          "+2345678-1234-1234-1234-123456789012", "0x345678-1234-1234-1234-123456789012",
                          "12345678-1234-1234-12-3-123456789012"})
    EXPECT_EQ(Guid::fromString(psz), Guid::null) << psz;
}

// Data1, Data2 and Data3 compare as unsigned numbers, then the bytes of
// Data4: the order of the fixed-width upper-case text.
TEST(Guid, CreatedIdentifiersAreNewRandomSurviveTheirTextAndOrderLikeIt) {
  // Each field decides somewhere, with high bits set where a signed or
  // byte-wise comparison of the numbers would go wrong; one equal pair.
  std::vector<Guid> guids = {Guid::null};
  for (const char* psz : {"00000000-0000-0000-0000-000000000001", "00000000-0000-0000-0000-000000000080",
                          "00000000-0000-0000-7FFF-FFFFFFFFFFFF", "00000000-0000-0000-8000-000000000000",
                          "00000000-0000-7FFF-FFFF-FFFFFFFFFFFF", "00000000-0000-8000-0000-000000000000",
                          "00000000-8000-0000-0000-000000000000", "000000FF-0000-0000-0000-000000000000",
                          "00000100-0000-0000-0000-000000000000", "7FFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF",
                          "80000000-0000-0000-0000-000000000000", "FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF"})
    guids.push_back(Guid::fromString(psz));
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    const Guid g = Guid::create();
    const std::string s = g.asString();
    EXPECT_TRUE(seen.insert(s).second) << "repeated " << s;
    EXPECT_EQ(Guid::fromString(s), g);
    // Random identifiers of RFC 4122: version 4 and the variant 10xx.
    EXPECT_TRUE(s[14] == '4' && std::string("89AB").find(s[19]) != std::string::npos) << s;
    guids.push_back(g);
  }
  guids.push_back(guids[20]);
  for (const Guid& a : guids) {
    for (const Guid& b : guids) {
      const std::string sa = a.asString(), sb = b.asString();
      ASSERT_EQ(std::vector<bool>({a < b, a > b, a == b, a != b}),
                std::vector<bool>({sa < sb, sa > sb, sa == sb, sa != sb}))
          << sa << " vs " << sb;
    }
  }
}
