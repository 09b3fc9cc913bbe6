// SPDX-License-Identifier: MIT
// The Windows side: the message table and version resource that brimsel.dll
// carries, the registry entries of a registered source, and entries written
// to the event log.
#if defined(_WIN32)

#include "eventlog_test.h"

#include <windows.h>

using namespace brimsel_test;

namespace {

// The shipped DLL, loaded beside the test's own static copy of the library.
HMODULE library() {
  static const HMODULE module = LoadLibraryA("brimsel.dll");
  return module;
}

std::string moduleFile(HMODULE module) {
  char path[MAX_PATH * 4];
  return std::string(path, GetModuleFileNameA(module, path, sizeof path));
}

// The text of message `id` in brimsel.dll's table, English (United States),
// with `insertion` as %1 (or the inserts left as they are).
std::string messageText(DWORD id, const char* insertion = nullptr) {
  char buffer[512];
  DWORD_PTR args[1] = {reinterpret_cast<DWORD_PTR>(insertion)};
  const DWORD flags = insertion ? FORMAT_MESSAGE_ARGUMENT_ARRAY : FORMAT_MESSAGE_IGNORE_INSERTS;
  return std::string(buffer, FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | flags, library(), id,
                                            MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), buffer, sizeof buffer,
                                            insertion ? reinterpret_cast<va_list*>(args) : nullptr));
}

// The five category texts and the ten event messages, each ending in CR LF.
TEST(MessageTable, HoldsTheCategoryTextsAndEventMessages) {
  ASSERT_NE(nullptr, library());
  const std::vector<std::pair<DWORD, std::string>> texts = {
      {1, "Dal Events"}, {2, "Data Events"}, {3, "Data Events"}, {4, "UI Events"}, {5, "Daemon Events"},
      {0x40020101, "A Brimsel Exception Critical Error occured. Legend was: %1"},
      {0x40020102, "A SQL Exception Critical Error occured. Legend was: %1"},
      {0x40020103, "A DAL Exception Critical Error occured. Legend was: %1"},
      {0x40020104, "An unknown exception was caught."},
      {0x40020106, "An Error was posted. Legend was: %1"},
      {0x80020100, "A Brimsel Exception Warning occured. Legend was: %1"},
      {0x80020105, "A Warning was posted. Legend was: %1"},
      {0xC0020107, "A Message was posted. Legend was: %1"},
      {0xC0020108, "Debug info was posted. Legend was: %1"},
      {0xC0020109, "Trace info was posted. Legend was: %1"}};
  for (const auto& t : texts) {
    EXPECT_EQ(t.second + "\r\n", messageText(t.first)) << std::hex << t.first;
  }
  EXPECT_EQ("", messageText(6));
  // What the event viewer shows: the insertion string in place of %1.
  EXPECT_EQ("An Error was posted. Legend was: disk full\r\n", messageText(0x40020106, "disk full"));
}

// The table is resource 1, English (United States), and was compiled in
// Unicode mode: every entry is flagged UTF-16 (FormatMessageA converts either
// kind, so reading the texts back cannot tell).
TEST(MessageTable, IsResourceOneWithUnicodeEntries) {
  HRSRC found = FindResourceExA(library(), MAKEINTRESOURCEA(11) /* RT_MESSAGETABLE */, MAKEINTRESOURCEA(1),
                                MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  ASSERT_NE(nullptr, found);
  const auto* table = static_cast<const MESSAGE_RESOURCE_DATA*>(LockResource(LoadResource(library(), found)));
  ASSERT_NE(nullptr, table);
  const auto* base = reinterpret_cast<const unsigned char*>(table);
  DWORD entries = 0;
  for (DWORD b = 0; b < table->NumberOfBlocks; ++b) {
    const MESSAGE_RESOURCE_BLOCK& block = table->Blocks[b];
    const unsigned char* p = base + block.OffsetToEntries;
    for (DWORD id = block.LowId; id <= block.HighId; ++id, ++entries) {
      const auto* entry = reinterpret_cast<const MESSAGE_RESOURCE_ENTRY*>(p);
      EXPECT_EQ(MESSAGE_RESOURCE_UNICODE, entry->Flags & MESSAGE_RESOURCE_UNICODE) << std::hex << id;
      p += entry->Length;
    }
  }
  EXPECT_EQ(15u, entries);
}

TEST(VersionResource, CarriesVersionAndProductName) {
  const std::string path = moduleFile(library());
  std::vector<char> info(GetFileVersionInfoSizeA(path.c_str(), nullptr));
  ASSERT_FALSE(info.empty());
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ((std::vector<DWORD>{0x00030000u, 0x00010000u, 0x00030000u, 0x00010000u}),
            (std::vector<DWORD>{fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS,
                                 fixed->dwProductVersionLS}));
  char* name = nullptr;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904b0\\ProductName", reinterpret_cast<void**>(&name),
                             &length));
  EXPECT_STREQ("Brimsel Foundation Class Library", name);
}

const std::string kKeyPrefix = "SYSTEM\\CurrentControlSet\\Services\\Eventlog\\Application\\";

// The value's type and bytes as RegQueryValueExA gives them; nothing when missing.
std::pair<DWORD, std::string> readValue(const std::string& source, const char* name) {
  DWORD type = 0, size = 0;
  std::string data(1024, '\0');
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kKeyPrefix + source).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  size = static_cast<DWORD>(data.size());
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size) != ERROR_SUCCESS) size = 0;
  RegCloseKey(key);
  return {type, data.substr(0, size)};
}

class WindowsRegistration : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const char* source : {"Brimsel Test Executable", "Brimsel Test No Module"}) {
      RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kKeyPrefix + source).c_str());
    }
  }
  // The counts as REG_DWORD, the paths as REG_SZ with their terminating zero.
  static void expectRegistered(const std::string& name, const std::string& path) {
    const DWORD counts[] = {5, 31};
    const std::string bytes(reinterpret_cast<const char*>(counts), sizeof counts);
    EXPECT_EQ(std::make_pair(DWORD(REG_DWORD), bytes.substr(0, 4)), readValue(name, "CategoryCount"));
    EXPECT_EQ(std::make_pair(DWORD(REG_DWORD), bytes.substr(4)), readValue(name, "TypesSupported"));
    EXPECT_EQ(std::make_pair(DWORD(REG_SZ), path + '\0'), readValue(name, "EventMessageFile"));
    EXPECT_EQ(std::make_pair(DWORD(REG_SZ), path + '\0'), readValue(name, "CategoryMessageFile"));
  }
};

// Without a module the running executable is registered, else the module's
// file (a copy keeps the module); registering again overwrites. A handle of
// no module has no file to register, and an empty name would put the values
// on the Application log's own key: both are refused.
TEST_F(WindowsRegistration, RegistersTheModuleFileOrTheRunningExecutable) {
  EventLogger logger("Brimsel Test Executable");
  ASSERT_TRUE(logger.registerEventSource("Brimsel Test Executable"));
  expectRegistered("Brimsel Test Executable", moduleFile(nullptr));
  EXPECT_FALSE(logger.registerEventSource(""));
  logger.setModuleHandle(library());
  ASSERT_TRUE(EventLogger(logger).registerEventSource("Brimsel Test Executable"));
  expectRegistered("Brimsel Test Executable", moduleFile(library()));
  logger.setModuleHandle(reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(0x10)));
  EXPECT_FALSE(logger.registerEventSource("Brimsel Test No Module"));
  EXPECT_EQ("", readValue("Brimsel Test No Module", "CategoryCount").second);
}

// Copies share the source; it stays open while any copy holds it.
TEST(WindowsEventLog, WritersReturnTrueUntilTheLastCopyIsGone) {
  auto original = std::make_unique<EventLogger>("Brimsel Test Writer");
  EXPECT_FALSE(original->logMessage("filtered", EventLogger::LAYER_UI));
  EXPECT_TRUE(original->log(Brimsel::Exception(4302, true, "fatal"), EventLogger::LAYER_UI));
  EXPECT_TRUE(original->logError("line one\r\nline two", EventLogger::Layer(-1)));
  original->setLevel(EventLogger::LEVEL_TRACE);
  EventLogger copy(*original);
  EventLogger assigned("Brimsel Test Copies Other");
  assigned = *original;
  assigned = assigned;
  original.reset();
  EXPECT_EQ(std::vector<bool>(7, true), writeEach(copy, "copy", EventLogger::LAYER_DATA));
  EXPECT_EQ(std::vector<bool>(7, true), writeEach(assigned, "assigned", EventLogger::LAYER_DAEMON));
}

}  // namespace

#endif  // _WIN32
