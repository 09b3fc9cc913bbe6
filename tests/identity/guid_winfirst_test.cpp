// The system headers come before the library's, which must take their _GUID
// as it is (guid_winlast_test.cpp has the other order).
#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <rpc.h>

#include <brimsel/guid.h>

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

static_assert(std::is_same<UUID, _GUID>::value, "one identifier type");

TEST(GuidWindows, TextFormIsTheSystemsInUpperCase) {
  for (int i = 0; i < 50; ++i) {
    UUID uuid;
    ASSERT_EQ(UuidCreate(&uuid), RPC_S_OK);
    RPC_CSTR pszText = nullptr;
    ASSERT_EQ(UuidToStringA(&uuid, &pszText), RPC_S_OK);
    std::string strSystem(reinterpret_cast<char*>(pszText));
    RpcStringFreeA(&pszText);
    for (char& c : strSystem)
      if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    EXPECT_EQ(Brimsel::Guid(uuid).asString(), strSystem);
    EXPECT_EQ(Brimsel::Guid::fromString(strSystem), Brimsel::Guid(uuid));
  }
}
#endif
