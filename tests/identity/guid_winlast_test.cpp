// The library's header comes before the system headers: they must accept the
// _GUID it declared. (The opposite order is in guid_winfirst_test.cpp.)
#include <brimsel/guid.h>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objbase.h>
#include <rpc.h>
#endif

#include <gtest/gtest.h>

#include <type_traits>

#if defined(_WIN32)

static_assert(std::is_same<GUID, _GUID>::value, "one identifier type");

TEST(GuidWindows, ValuesPassBothWaysBetweenTheLibraryAndTheSystem) {
  const Brimsel::Guid g = Brimsel::Guid::create();
  // IsEqualGUID and UuidCompare take the library's identifier as their own.
  EXPECT_TRUE(IsEqualGUID(g.asGuid(), Brimsel::Guid(g.asGuid()).asGuid()));
  RPC_STATUS status = RPC_S_OK;
  UUID copy = g.asGuid();
  EXPECT_EQ(UuidCompare(&copy, &copy, &status), 0);
  EXPECT_EQ(Brimsel::Guid(copy), g);
  EXPECT_TRUE(IsEqualGUID(Brimsel::Guid::null.asGuid(), GUID_NULL));
}

#endif
