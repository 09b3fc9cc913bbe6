// The version the library reports is the one its file carries.
#include <brimsel/version.h>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#if defined(_WIN32)

TEST(VersionWindows, MatchesTheFileVersionResource) {
  HMODULE hLibrary = nullptr;
  ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                     GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                 reinterpret_cast<LPCSTR>(&Brimsel::version), &hLibrary));
  char szFile[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(hLibrary, szFile, MAX_PATH), 0u);
  DWORD dwHandle = 0;
  std::vector<char> info(GetFileVersionInfoSizeA(szFile, &dwHandle));
  ASSERT_TRUE(GetFileVersionInfoA(szFile, 0, static_cast<DWORD>(info.size()), info.data()));
  VS_FIXEDFILEINFO* pFixed = nullptr;
  UINT nLength = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&pFixed), &nLength));
  EXPECT_EQ(Brimsel::Version(HIWORD(pFixed->dwFileVersionMS), LOWORD(pFixed->dwFileVersionMS),
                             HIWORD(pFixed->dwFileVersionLS), LOWORD(pFixed->dwFileVersionLS))
                .text(),
            Brimsel::version().text());
}

#else

TEST(VersionLinux, MatchesTheSharedObjectVersion) {
  Dl_info info = {};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&Brimsel::version), &info), 0);
  const Brimsel::Version& v = Brimsel::version();
  EXPECT_EQ(std::filesystem::canonical(info.dli_fname).filename().string(),
            "libbrimsel.so." + std::to_string(v.verMajor()) + '.' + std::to_string(v.verMinor()) +
                '.' + std::to_string(v.release()));
}

#endif
