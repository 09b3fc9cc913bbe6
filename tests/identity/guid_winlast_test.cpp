// The library's header comes before the system headers, which must accept the
// _GUID it declared (guid_winfirst_test.cpp has the other order).
#include <brimsel/guid.h>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

TEST(GuidWindows, SystemFunctionsTakeTheLibrarysIdentifier) {
  const Brimsel::Guid g = Brimsel::Guid::create();
  EXPECT_TRUE(IsEqualGUID(Brimsel::Guid(g.asGuid()).asGuid(), g.asGuid()));
  EXPECT_TRUE(IsEqualGUID(Brimsel::Guid::null.asGuid(), GUID_NULL));
}
#endif
