// The system headers come before the library's: the library must take their
// _GUID as it is. (The opposite order is in guid_winlast_test.cpp.)
#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <rpc.h>
#endif

#include <brimsel/guid.h>

#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#if defined(_WIN32)

static_assert(std::is_same<GUID, _GUID>::value, "one identifier type");
static_assert(std::is_same<UUID, _GUID>::value, "one identifier type");

TEST(GuidWindows, TextFormMatchesTheSystemsAfterUpperCasing) {
  for (int i = 0; i < 50; ++i) {
    UUID uuid;
    ASSERT_EQ(UuidCreate(&uuid), RPC_S_OK);
    RPC_CSTR pszText = nullptr;
    ASSERT_EQ(UuidToStringA(&uuid, &pszText), RPC_S_OK);
    std::string strSystem(reinterpret_cast<char*>(pszText));
    RpcStringFreeA(&pszText);
    for (char& c : strSystem)
      if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    const Brimsel::Guid g(uuid);
    EXPECT_EQ(g.asString(), strSystem);
    EXPECT_EQ(Brimsel::Guid::fromString(strSystem), g);
  }
}

#endif
