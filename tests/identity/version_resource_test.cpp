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
  const DWORD dwSize = GetFileVersionInfoSizeA(szFile, &dwHandle);
  ASSERT_GT(dwSize, 0u) << szFile;
  std::vector<char> info(dwSize);
  ASSERT_TRUE(GetFileVersionInfoA(szFile, 0, dwSize, info.data()));
  VS_FIXEDFILEINFO* pFixed = nullptr;
  UINT nLength = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&pFixed), &nLength));
  const Brimsel::Version& v = Brimsel::version();
  EXPECT_EQ(HIWORD(pFixed->dwFileVersionMS), static_cast<unsigned>(v.verMajor()));
  EXPECT_EQ(LOWORD(pFixed->dwFileVersionMS), static_cast<unsigned>(v.verMinor()));
  EXPECT_EQ(HIWORD(pFixed->dwFileVersionLS), static_cast<unsigned>(v.release()));
  EXPECT_EQ(LOWORD(pFixed->dwFileVersionLS), static_cast<unsigned>(v.build()));
}

#else

TEST(VersionLinux, MatchesTheSharedObjectVersion) {
  Dl_info info = {};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&Brimsel::version), &info), 0);
  ASSERT_NE(info.dli_fname, nullptr);
  const Brimsel::Version& v = Brimsel::version();
  const std::string strFile = std::filesystem::canonical(info.dli_fname).filename().string();
  EXPECT_EQ(strFile, "libbrimsel.so." + std::to_string(v.verMajor()) + '.' +
                         std::to_string(v.verMinor()) + '.' + std::to_string(v.release()));
}

#endif
